#include "app/SearchFieldCell.hpp"

#include "platform/ui/Image.hpp"
#include "platform/ui/View.hpp"

namespace corvantis {

namespace ui = platform::ui;

namespace {
constexpr double buttonWidth = 20.0;
}  // namespace

ui::Rect SearchFieldCell::searchTextRect(const ui::Rect&) const {
    return {0, 0, controlView()->frame().width() - buttonWidth, 40.0};
}

ui::Rect SearchFieldCell::searchButtonRect(const ui::Rect&) const {
    return {controlView()->frame().width() - buttonWidth, 0, buttonWidth, 0.0};
}

void SearchFieldCell::setUI() {
    const auto image = ui::Image::named("SearchIcon");
    if (image) image->setSize({17.6, 20.0});
    auto button = std::make_shared<ui::ButtonCell>();
    button->setImage(image);
    button->setAlternateImage(image);
    button->setBackgroundColor(ui::Color::clear());
    setSearchButtonCell(std::move(button));
}

}  // namespace corvantis
