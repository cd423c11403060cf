#include "platform/ui/RecordingGraphicsContext.hpp"

namespace platform::ui {

void RecordingGraphicsContext::fill(const BezierPath& path, const Color& color) {
    operations_.push_back(FillPath{path, color});
}

void RecordingGraphicsContext::fill(const Rect& rect, const Color& color, CompositingOperation operation) {
    operations_.push_back(FillRect{rect, color, operation});
}

void RecordingGraphicsContext::stroke(const BezierPath& path, const Color& color) {
    operations_.push_back(StrokePath{path, color});
}

void RecordingGraphicsContext::draw(std::shared_ptr<const Image> image, const Rect& rect) {
    operations_.push_back(DrawImage{std::move(image), rect});
}

void RecordingGraphicsContext::draw(const AttributedString& text, const Rect& rect) {
    operations_.push_back(DrawText{text, rect});
}

}  // namespace platform::ui
