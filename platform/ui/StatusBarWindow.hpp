#pragma once

#include "platform/ui/Window.hpp"

#include <memory>

namespace platform::ui {

class StatusItem;

// The small borderless window of a status item on the menu bar; it never becomes key.
class StatusBarWindow : public Window {
public:
    StatusBarWindow();

    // The item this window belongs to; held weakly.
    std::shared_ptr<StatusItem> statusItem() const { return statusItem_.lock(); }

    bool canBecomeKey() const override { return false; }

private:
    friend class StatusItem;

    std::weak_ptr<StatusItem> statusItem_;
};

}  // namespace platform::ui
