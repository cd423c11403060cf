#include "platform/ui/MouseDispatch.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/GestureRecognizer.hpp"
#include "platform/ui/TrackingArea.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>
#include <utility>

namespace platform::ui {

namespace {
template <class Receiver>
void deliver(Receiver& receiver, const Event& event) {
    switch (event.type()) {
        case EventType::leftMouseDown: receiver.mouseDown(event); break;
        case EventType::leftMouseUp: receiver.mouseUp(event); break;
        case EventType::rightMouseDown: receiver.rightMouseDown(event); break;
        case EventType::rightMouseUp: receiver.rightMouseUp(event); break;
        default: break;
    }
}

bool isTracking(Window& window, View& view, const TrackingArea& area) {
    const unsigned options = area.options();
    if ((options & TrackingArea::mouseEnteredAndExited) == 0) return false;
    if (options & TrackingArea::activeAlways) return true;
    if ((options & TrackingArea::activeInActiveApp) && Application::shared().isActive()) return true;
    if ((options & TrackingArea::activeInKeyWindow) && window.isKeyWindow()) return true;
    return (options & TrackingArea::activeWhenFirstResponder) && window.firstResponder().get() == &view;
}
}  // namespace

void MouseDispatch::dispatch(Window& window, const Event& event) {
    const auto content = window.contentView();
    View* hit = content ? content->hitTest(event.locationInWindow()) : nullptr;
    switch (event.type()) {
        case EventType::leftMouseDown:
            if (hit) left_ = press(*hit, event);
            break;
        case EventType::rightMouseDown:
            if (hit) right_ = press(*hit, event);
            break;
        case EventType::leftMouseUp: release(left_, hit, event); break;
        case EventType::rightMouseUp: release(right_, hit, event); break;
        // A drag goes to the view that got the press, wherever the pointer is now.
        case EventType::leftMouseDragged:
            if (const auto pressed = left_.view.lock()) pressed->mouseDragged(event);
            break;
        case EventType::scrollWheel:
            if (hit) hit->scrollWheel(event);
            break;
        default: break;
    }
}

MouseDispatch::Press MouseDispatch::press(View& hit, const Event& event) {
    const auto keepAlive = hit.sharedView();
    Press press{keepAlive, {}};
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers;
    for (View* view = &hit; view != nullptr; view = view->superview()) {
        for (const auto& recognizer : view->gestureRecognizers()) {
            if (recognizer->isEnabled()) recognizers.push_back(recognizer);
        }
    }
    for (const auto& recognizer : recognizers) {
        press.recognizers.push_back(recognizer);
        deliver(*recognizer, event);
    }
    deliver(hit, event);
    return press;
}

void MouseDispatch::release(Press& press, View* hit, const Event& event) {
    const auto recognizers = std::exchange(press.recognizers, {});
    std::shared_ptr<View> receiver = press.view.lock();
    press.view.reset();
    if (!receiver && hit) receiver = hit->sharedView();
    for (const auto& weak : recognizers) {
        if (auto recognizer = weak.lock()) deliver(*recognizer, event);
    }
    if (receiver) deliver(*receiver, event);
}

void MouseDispatch::pointerMoved(Window& window, std::optional<Point> location) {
    std::vector<std::shared_ptr<TrackingArea>> nowInside;
    if (const auto content = window.contentView(); content && location) {
        for (const auto& view : content->selfAndDescendants()) {
            if (view->isHiddenOrHasHiddenAncestor()) continue;
            for (const auto& area : view->trackingAreas()) {
                if (isTracking(window, *view, *area) && view->convert(area->rect(), nullptr).contains(*location)) {
                    nowInside.push_back(area);
                }
            }
        }
    }
    const auto wasInside = [&](const std::shared_ptr<TrackingArea>& area) {
        return std::any_of(inside_.begin(), inside_.end(), [&](const auto& weak) { return weak.lock() == area; });
    };
    const auto isInside = [&](const std::shared_ptr<TrackingArea>& area) {
        return std::find(nowInside.begin(), nowInside.end(), area) != nowInside.end();
    };
    std::vector<std::shared_ptr<TrackingArea>> exited;
    for (const auto& weak : inside_) {
        if (auto area = weak.lock(); area && !isInside(area)) exited.push_back(area);
    }
    std::vector<std::shared_ptr<TrackingArea>> entered;
    for (const auto& area : nowInside) {
        if (!wasInside(area)) entered.push_back(area);
    }
    inside_.assign(nowInside.begin(), nowInside.end());

    const Point at = location.value_or(Point{});
    const auto shared = window.sharedWindow();
    for (const auto& area : exited) {
        if (auto owner = area->owner()) owner->mouseExited(Event::mouseEvent(EventType::mouseExited, at, shared));
    }
    for (const auto& area : entered) {
        if (auto owner = area->owner()) owner->mouseEntered(Event::mouseEvent(EventType::mouseEntered, at, shared));
    }
}

}  // namespace platform::ui
