#include "app/HintViewController.hpp"

#include "app/FontHelper.hpp"
#include "app/HintView.hpp"

namespace corvantis {

namespace {
constexpr double hintFontSize = 11;
constexpr double margin = 10;
}  // namespace

void HintViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "hintController", [] { return std::make_shared<HintViewController>(); },
        [](platform::ui::ViewController&) {
            auto view = std::make_shared<HintView>(platform::ui::Rect(0, 0, width, height));
            auto label = std::make_shared<platform::ui::TextField>(
                platform::ui::Rect(margin, margin / 2, width - 2 * margin, height - margin));
            label->setEditable(false);
            label->setSelectable(false);
            label->setFont(montserratMediumFont(hintFontSize));
            view->addSubview(label);
            view->lblHint = label;
            return view;
        });
}

}  // namespace corvantis
