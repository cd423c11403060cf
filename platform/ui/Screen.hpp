#pragma once

#include "platform/ui/Rect.hpp"

#include <memory>
#include <vector>

namespace platform::ui {

// A display, in the screen coordinates that window frames use: y upwards from the bottom of the
// main screen. Headless there is no display to ask, so the screens are a configuration: one
// 1440 × 900 screen unless `setScreenFrames` says otherwise (tests, or a display layer). The
// first screen is the main one, the one with the menu bar. Main thread only.
class Screen {
public:
    static constexpr double defaultWidth = 1440;
    static constexpr double defaultHeight = 900;

    // The screen with the menu bar; none when no screen is configured.
    static std::shared_ptr<Screen> main();
    static const std::vector<std::shared_ptr<Screen>>& screens();
    // Replaces the screens by ones with these frames; an empty list leaves no screen at all.
    static void setScreenFrames(const std::vector<Rect>& frames);
    // Back to the one default screen (used between tests).
    static void reset();
    // The screen that holds the largest part of `rect`; none when it lies on no screen.
    static std::shared_ptr<Screen> containing(const Rect& rect);

    explicit Screen(Rect frame) : frame_(frame) {}

    Rect frame() const { return frame_; }

private:
    Rect frame_;
};

}  // namespace platform::ui
