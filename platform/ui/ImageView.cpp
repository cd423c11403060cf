#include "platform/ui/ImageView.hpp"

namespace platform::ui {

void ImageView::setImage(std::shared_ptr<Image> image) {
    image_ = std::move(image);
    setNeedsDisplay(true);
}

void ImageView::draw(GraphicsContext& context, const Rect&) {
    if (image_) context.draw(image_, bounds());
}

}  // namespace platform::ui
