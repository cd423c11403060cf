#pragma once

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/GraphicsContext.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/Rect.hpp"

#include <memory>
#include <optional>

namespace platform::ui {

class View;

// What a button shows and how it draws it: the title, the image, the image shown while pressed
// and a background colour. Subclasses change how the title is drawn.
class ButtonCell {
public:
    virtual ~ButtonCell() = default;

    const AttributedString& attributedTitle() const { return title_; }
    void setAttributedTitle(AttributedString title) { title_ = std::move(title); }
    std::shared_ptr<Image> image() const { return image_; }
    void setImage(std::shared_ptr<Image> image) { image_ = std::move(image); }
    // Shown instead of the image while the button is pressed.
    std::shared_ptr<Image> alternateImage() const { return alternateImage_; }
    void setAlternateImage(std::shared_ptr<Image> image) { alternateImage_ = std::move(image); }
    const std::optional<Color>& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(std::optional<Color> color) { backgroundColor_ = std::move(color); }

    // Draws the whole button into `frame` of `controlView`: background, image, then the title
    // through `drawTitle`.
    void draw(GraphicsContext& context, const Rect& frame, View& controlView, bool highlighted);
    // Draws `title` in `frame`, centred vertically and placed by its paragraph alignment
    // (centred when it has none), and returns the rectangle the text takes.
    virtual Rect drawTitle(GraphicsContext& context, const AttributedString& title, const Rect& frame, View& controlView);

private:
    AttributedString title_;
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> alternateImage_;
    std::optional<Color> backgroundColor_;
};

}  // namespace platform::ui
