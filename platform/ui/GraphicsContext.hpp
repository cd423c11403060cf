#pragma once

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/BezierPath.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/CompositingOperation.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/Rect.hpp"

#include <memory>

namespace platform::ui {

// Where views draw, in the drawing view's own coordinates. A renderer paints; the recording
// context keeps the calls for tests.
class GraphicsContext {
public:
    virtual ~GraphicsContext() = default;

    virtual void fill(const BezierPath& path, const Color& color) = 0;
    virtual void fill(const Rect& rect, const Color& color, CompositingOperation operation) = 0;
    virtual void draw(std::shared_ptr<const Image> image, const Rect& rect) = 0;
    virtual void draw(const AttributedString& text, const Rect& rect) = 0;
};

}  // namespace platform::ui
