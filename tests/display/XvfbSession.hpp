#pragma once

// Google Test first: Xlib defines macros (None, Bool, Status) that its headers use as names.
#include <gtest/gtest.h>

#include "BackgroundProcess.hpp"
#include "support/ScopedEnvironment.hpp"

#include "platform/display/DisplayServer.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testing {

// A private X server (Xvfb, 1280 × 800) for one test, with the application's display server
// attached to it, and the means to act on it as a person would (xdotool) and to look at it.
class XvfbSession {
public:
    static constexpr int width = 1280;
    static constexpr int height = 800;

    // Why the session cannot run here (Xvfb or xdotool missing); none when it can.
    static std::optional<std::string> unavailableReason();

    // `beforeAttach` runs once the server accepts connections, before the application's display
    // server attaches (to start a tray manager, say).
    explicit XvfbSession(const std::function<void(const std::string& displayName)>& beforeAttach = {});
    ~XvfbSession();

    const std::string& displayName() const { return displayName_; }
    platform::display::DisplayServer& server() { return *server_; }

    // Runs the main queue until `done` answers true or patience(`timeout`) passes; returns `done()`.
    bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(60));
    // Runs the main queue until the display server has handled everything the X server sent.
    void settle();
    // Runs xdotool with `arguments` and waits for it.
    void xdotool(const std::vector<std::string>& arguments);
    // Clicks at the point (x, y) of the screen, X's coordinates (y down from the top).
    void clickAt(int x, int y, int button = 1);
    // The colour of the screen's pixel at (x, y), X's coordinates, as 0xRRGGBB.
    std::uint32_t pixelAt(int x, int y);

private:
    std::unique_ptr<BackgroundProcess> xvfb_;
    std::string displayName_;
    std::unique_ptr<ScopedEnvironment> displayVariable_;
    std::unique_ptr<platform::display::DisplayServer> server_;
};

}  // namespace corvantis::testing
