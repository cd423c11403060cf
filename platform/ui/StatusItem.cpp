#include "platform/ui/StatusItem.hpp"

#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/TextMeasurer.hpp"

namespace platform::ui {

namespace {
// Room on each side of a variable-length item's content.
constexpr double padding = 5;
// Between an item's image and its title.
constexpr double imageTitleSpacing = 4;
}  // namespace

StatusItem::StatusItem(double length)
    : length_(length), button_(std::make_shared<StatusBarButton>()), window_(std::make_shared<StatusBarWindow>()) {
    window_->setContentView(button_);
}

StatusItem::~StatusItem() {
    window_->orderOut();
}

void StatusItem::attach(StatusBar& bar) {
    statusBar_ = &bar;
    window_->statusItem_ = weak_from_this();
    window_->orderFront();
}

void StatusItem::relayout() const {
    if (statusBar_ != nullptr) statusBar_->layoutItems();
}

void StatusItem::setLength(double length) {
    length_ = length;
    relayout();
}

void StatusItem::setTitle(const std::string& title) {
    button_->setTitle(title);
    relayout();
}

void StatusItem::setImage(std::shared_ptr<Image> image) {
    button_->setImage(std::move(image));
    relayout();
}

bool StatusItem::isPlaced() const {
    return statusBar_ != nullptr && statusBar_->isPlaced(*this);
}

double StatusItem::effectiveLength() const {
    if (length_ >= 0) return length_;
    const double thickness = statusBar_ != nullptr ? statusBar_->thickness() : StatusBar::system().thickness();
    if (length_ == StatusBar::squareLength) return thickness;
    const auto image = button_->image();
    const double imageWidth = image ? image->size().width : 0;
    const double titleWidth = button_->title().empty() ? 0 : button_->attributedTitle().size().width;
    const double content = imageWidth + titleWidth + (imageWidth > 0 && titleWidth > 0 ? imageTitleSpacing : 0);
    return content > 0 ? content + 2 * padding : 0;
}

}  // namespace platform::ui
