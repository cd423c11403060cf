#pragma once

#include "platform/ui/Window.hpp"

namespace platform::ui {

// A window that serves another one or the application as a whole: by default it hides while
// the application is inactive.
class Panel : public Window {
public:
    explicit Panel(Rect contentRect = {}, unsigned styleMask = WindowStyleMask::titled,
                   BackingStoreType backing = BackingStoreType::buffered, bool defer = false)
        : Window(contentRect, styleMask, backing, defer) {
        setHidesOnDeactivate(true);
    }
};

}  // namespace platform::ui
