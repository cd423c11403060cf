#pragma once

#include "platform/ui/Point.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace platform::ui {

class Event;
class GestureRecognizer;
class TrackingArea;
class View;
class Window;

// What a window remembers between mouse events: the view a press went to, so that the release
// reaches the same view even outside it (as AppKit's tracking does), the gesture recognisers
// that saw the press, and the tracking areas that hold the pointer.
class MouseDispatch {
public:
    // Delivers a press or release in `window`'s content.
    void dispatch(Window& window, const Event& event);
    // Sends entered and exited events for the tracking areas the pointer came into or left;
    // exits first. `location` is in window coordinates; none means the pointer is elsewhere.
    void pointerMoved(Window& window, std::optional<Point> location);

private:
    struct Press {
        std::weak_ptr<View> view;
        std::vector<std::weak_ptr<GestureRecognizer>> recognizers;
    };
    static Press press(View& hit, const Event& event);
    static void release(Press& press, View* hit, const Event& event);

    Press left_;
    Press right_;
    std::vector<std::weak_ptr<TrackingArea>> inside_;
};

}  // namespace platform::ui
