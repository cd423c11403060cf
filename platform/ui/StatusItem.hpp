#pragma once

#include "platform/ui/Image.hpp"
#include "platform/ui/StatusBarButton.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform::ui {

class StatusBar;
class StatusBarWindow;

// An item of the status bar: a button in a small window of its own on the menu bar. Made by
// `StatusBar::statusItem`; the application keeps it, and it leaves the bar when it is removed or
// released. Setting its length, title or image lays the bar out again. Main thread only.
class StatusItem : public std::enable_shared_from_this<StatusItem> {
public:
    ~StatusItem();
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // The bar the item is on; none once removed.
    StatusBar* statusBar() const { return statusBar_; }

    // A width in points, or `StatusBar::variableLength` (fits the content) or
    // `StatusBar::squareLength` (as wide as the bar is thick).
    double length() const { return length_; }
    void setLength(double length);
    // The width the item takes now.
    double effectiveLength() const;

    std::shared_ptr<StatusBarButton> button() const { return button_; }
    std::string title() const { return button_->title(); }
    void setTitle(const std::string& title);
    std::shared_ptr<Image> image() const { return button_->image(); }
    void setImage(std::shared_ptr<Image> image);

    // The window on the menu bar that holds the button.
    std::shared_ptr<StatusBarWindow> window() const { return window_; }

    // Whether the item stands where the desktop shows it (see `StatusBar::isPlaced`).
    bool isPlaced() const;
    // Called once the item is placed, and whenever it moves after that.
    void setPlacementObserver(std::function<void()> observer) { placementObserver_ = std::move(observer); }

private:
    friend class StatusBar;

    explicit StatusItem(double length);
    void attach(StatusBar& bar);
    void relayout() const;

    StatusBar* statusBar_ = nullptr;  // the process-wide bar, which outlives every item
    double length_;
    std::shared_ptr<StatusBarButton> button_;
    std::shared_ptr<StatusBarWindow> window_;
    std::function<void()> placementObserver_;
    std::optional<Rect> placedFrame_;  // where the observer last heard the item was
    bool placementWaitOver_ = true;
};

}  // namespace platform::ui
