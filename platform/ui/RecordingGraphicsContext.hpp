#pragma once

#include "platform/ui/GraphicsContext.hpp"

#include <variant>
#include <vector>

namespace platform::ui {

// Keeps every drawing call, in order, so that a test can read what a view drew. The state calls
// (save, transforms, clipping, layers) are not kept: they change where pixels land, which only
// a painter shows.
class RecordingGraphicsContext final : public GraphicsContext {
public:
    struct FillPath {
        BezierPath path;
        Color color;
    };
    struct FillRect {
        Rect rect;
        Color color;
        CompositingOperation operation;
    };
    struct StrokePath {
        BezierPath path;
        Color color;
    };
    struct DrawImage {
        std::shared_ptr<const Image> image;
        Rect rect;
    };
    struct DrawText {
        AttributedString text;
        Rect rect;
    };
    using Operation = std::variant<FillPath, FillRect, StrokePath, DrawImage, DrawText>;

    void fill(const BezierPath& path, const Color& color) override;
    void fill(const Rect& rect, const Color& color, CompositingOperation operation) override;
    void stroke(const BezierPath& path, const Color& color) override;
    void draw(std::shared_ptr<const Image> image, const Rect& rect) override;
    void draw(const AttributedString& text, const Rect& rect) override;

    void saveGraphicsState() override {}
    void restoreGraphicsState() override {}
    void translate(double, double) override {}
    void scale(double, double) override {}
    void clip(const Rect&) override {}
    void clip(const BezierPath&) override {}
    void beginTransparencyLayer(double) override {}
    void endTransparencyLayer() override {}

    const std::vector<Operation>& operations() const { return operations_; }

private:
    std::vector<Operation> operations_;
};

}  // namespace platform::ui
