#pragma once

#include "platform/ui/GraphicsContext.hpp"

#include <variant>
#include <vector>

namespace platform::ui {

// Keeps every drawing call, in order, so that a test can read what a view drew.
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
    struct DrawImage {
        std::shared_ptr<const Image> image;
        Rect rect;
    };
    struct DrawText {
        AttributedString text;
        Rect rect;
    };
    using Operation = std::variant<FillPath, FillRect, DrawImage, DrawText>;

    void fill(const BezierPath& path, const Color& color) override;
    void fill(const Rect& rect, const Color& color, CompositingOperation operation) override;
    void draw(std::shared_ptr<const Image> image, const Rect& rect) override;
    void draw(const AttributedString& text, const Rect& rect) override;

    const std::vector<Operation>& operations() const { return operations_; }

private:
    std::vector<Operation> operations_;
};

}  // namespace platform::ui
