#include "app/HintViewController.hpp"

#include "app/FontHelper.hpp"
#include "app/HintView.hpp"
#include "app/ScreenColors.hpp"

namespace corvantis {

namespace {
constexpr double hintFontSize = 11;
constexpr double margin = 5;
}  // namespace

void HintViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "hintController", [] { return std::make_shared<HintViewController>(); },
        [](platform::ui::ViewController&) {
            auto view = std::make_shared<HintView>(platform::ui::Rect(0, 0, width, height));
            // The hint sits in the middle of the bubble, in the screens' face and text colour.
            auto label = std::make_shared<platform::ui::TextField>(
                platform::ui::Rect(margin, margin, width - 2 * margin, height - 2 * margin));
            label->setEditable(false);
            label->setSelectable(false);
            label->setFont(montserratMediumFont(hintFontSize));
            label->setAlignment(platform::ui::TextAlignment::center);
            label->setTextColor(darkTextColor());
            view->addSubview(label);
            view->lblHint = label;
            return view;
        });
}

}  // namespace corvantis
