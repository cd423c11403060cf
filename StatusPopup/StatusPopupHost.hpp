#pragma once

#include <functional>

namespace corvantis {

// What the popup asks of the application that hosts it, without depending on it: the
// application installs these answers at start-up. Unset, the helper tool counts as not just
// installed and "Quit" does nothing. Main queue only.
struct StatusPopupHost {
    // The application's flag "the helper tool was installed during this start-up", read and
    // cleared by the popup's first loss of focus.
    std::function<bool()> helperJustInstalled;
    std::function<void(bool)> setHelperJustInstalled;
    // Ends the application, as its delegate's quit does.
    std::function<void()> quit;

    static const StatusPopupHost& current();
    // Replaces the installed answers; an empty host removes them (tests).
    static void install(StatusPopupHost host);
};

}  // namespace corvantis
