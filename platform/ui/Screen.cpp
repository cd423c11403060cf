#include "platform/ui/Screen.hpp"

#include <algorithm>

namespace platform::ui {

namespace {
std::vector<std::shared_ptr<Screen>>& configured() {
    static std::vector<std::shared_ptr<Screen>> screens{
        std::make_shared<Screen>(Rect(0, 0, Screen::defaultWidth, Screen::defaultHeight))};
    return screens;
}

double overlapArea(const Rect& a, const Rect& b) {
    const double width = std::min(a.maxX(), b.maxX()) - std::max(a.minX(), b.minX());
    const double height = std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
    return width > 0 && height > 0 ? width * height : 0;
}
}  // namespace

std::shared_ptr<Screen> Screen::main() {
    return configured().empty() ? nullptr : configured().front();
}

const std::vector<std::shared_ptr<Screen>>& Screen::screens() {
    return configured();
}

void Screen::setScreenFrames(const std::vector<Rect>& frames) {
    configured().clear();
    for (const Rect& frame : frames) configured().push_back(std::make_shared<Screen>(frame));
}

void Screen::reset() {
    setScreenFrames({Rect(0, 0, defaultWidth, defaultHeight)});
}

std::shared_ptr<Screen> Screen::containing(const Rect& rect) {
    std::shared_ptr<Screen> best;
    double bestArea = 0;
    for (const auto& screen : configured()) {
        // A zero-sized rectangle (a status item's point, say) counts by where its origin lies.
        const double area = rect.width() > 0 && rect.height() > 0 ? overlapArea(rect, screen->frame_)
                                                                  : (screen->frame_.contains(rect.origin) ? 1.0 : 0.0);
        if (area > bestArea) {
            bestArea = area;
            best = screen;
        }
    }
    return best;
}

}  // namespace platform::ui
