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
//
// The state calls (save and restore, transforms, clipping, transparency layers) shape where and
// how later calls land; they nest, and every save or layer must be ended by its restore or end.
class GraphicsContext {
public:
    virtual ~GraphicsContext() = default;

    virtual void fill(const BezierPath& path, const Color& color) = 0;
    virtual void fill(const Rect& rect, const Color& color, CompositingOperation operation) = 0;
    // Strokes the path's outline with its own line width.
    virtual void stroke(const BezierPath& path, const Color& color) = 0;
    // Draws the image scaled into `rect`, upright whatever the coordinates' direction.
    virtual void draw(std::shared_ptr<const Image> image, const Rect& rect) = 0;
    // Draws the text from the top of `rect`, wrapped at its width unless the paragraph style asks
    // for truncation or clipping, and clipped to it.
    virtual void draw(const AttributedString& text, const Rect& rect) = 0;

    virtual void saveGraphicsState() = 0;
    virtual void restoreGraphicsState() = 0;
    virtual void translate(double dx, double dy) = 0;
    virtual void scale(double sx, double sy) = 0;
    // Narrows the drawing area to the inside of the shape, until the matching restore.
    virtual void clip(const Rect& rect) = 0;
    virtual void clip(const BezierPath& path) = 0;
    // What is drawn until the matching end is composited as one picture with `alpha`.
    virtual void beginTransparencyLayer(double alpha) = 0;
    virtual void endTransparencyLayer() = 0;
};

}  // namespace platform::ui
