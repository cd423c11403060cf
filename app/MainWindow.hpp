#pragma once

#include "app/ConnectView.hpp"

#include <memory>

namespace corvantis {

// The main window object that owns the popup's screens. Main queue only.
class MainWindow {
public:
    // The one main window, created on first use.
    static MainWindow& shared();
    // Puts the shared window back to its first-use state (tests only).
    static void resetShared();

    // The connect screen, once the window has been built from its storyboard.
    std::shared_ptr<ConnectView> connectView;
};

}  // namespace corvantis
