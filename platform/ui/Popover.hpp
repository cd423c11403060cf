#pragma once

#include "platform/ui/Rect.hpp"
#include "platform/ui/Size.hpp"

#include <memory>

namespace platform::ui {

class PopoverBubbleView;
class View;
class ViewController;
class Window;

// When a popover closes by itself, with AppKit's raw values: application-defined ones close only
// when told to.
enum class PopoverBehavior : int { applicationDefined = 0, transient = 1, semitransient = 2 };

// A side of a rectangle, with AppKit's raw values.
enum class RectEdge : int { minX = 0, minY = 1, maxX = 2, maxY = 3 };

// A bubble that shows a view controller's view next to a rectangle of another view, in a small
// window of its own, on the preferred side of that rectangle, with an arrow pointing at the
// rectangle. Main thread only.
class Popover {
public:
    Popover();
    ~Popover();
    Popover(const Popover&) = delete;
    Popover& operator=(const Popover&) = delete;

    PopoverBehavior behavior() const { return behavior_; }
    void setBehavior(PopoverBehavior behavior) { behavior_ = behavior; }
    std::shared_ptr<ViewController> contentViewController() const { return contentViewController_; }
    void setContentViewController(std::shared_ptr<ViewController> controller) { contentViewController_ = std::move(controller); }
    Size contentSize() const { return contentSize_; }
    void setContentSize(Size size) { contentSize_ = size; }

    // Shows the controller's view (loading it if need be) at `contentSize`, beside
    // `positioningRect` of `positioningView` on `preferredEdge` (in the view's own sense of up
    // and down). Shown again, it moves. Nothing when there is no controller or the view is in no window.
    void show(const Rect& positioningRect, View& positioningView, RectEdge preferredEdge);
    void close();
    bool isShown() const { return shown_; }
    // The popover's own window, where the content lies in its bubble while shown.
    std::shared_ptr<Window> window() const { return window_; }
    std::shared_ptr<PopoverBubbleView> bubble() const { return bubble_; }

private:
    PopoverBehavior behavior_ = PopoverBehavior::applicationDefined;
    std::shared_ptr<ViewController> contentViewController_;
    Size contentSize_;
    std::shared_ptr<Window> window_;
    std::shared_ptr<PopoverBubbleView> bubble_;
    bool shown_ = false;
};

}  // namespace platform::ui
