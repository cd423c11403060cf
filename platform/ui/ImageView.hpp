#pragma once

#include "platform/ui/Image.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// Shows one image over its bounds.
class ImageView : public View {
public:
    using View::View;

    std::shared_ptr<Image> image() const { return image_; }
    void setImage(std::shared_ptr<Image> image);

    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    std::shared_ptr<Image> image_;
};

}  // namespace platform::ui
