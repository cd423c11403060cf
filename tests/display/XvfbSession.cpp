#include "XvfbSession.hpp"

#include "support/ChildProcess.hpp"

#include "platform/Services.hpp"
#include "platform/animation/testing/Reset.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/Patience.hpp"

#include <X11/Xutil.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace corvantis::testing {

std::optional<std::string> XvfbSession::unavailableReason() {
    for (const char* program : {"Xvfb", "xdotool"}) {
        if (!programExists(program)) return std::string(program) + " is not installed (scripts/setup installs it)";
    }
    return std::nullopt;
}

XvfbSession::XvfbSession(const std::function<void(const std::string& displayName)>& beforeAttach) {
    platform::ui::testing::reset();
    platform::animation::testing::reset();
    // Xvfb picks a free display and writes its number once it accepts connections.
    int ready[2];
    if (::pipe(ready) != 0) throw std::runtime_error("pipe");
    xvfb_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{"Xvfb", "-displayfd", "3", "-screen", "0",
                                 std::to_string(width) + "x" + std::to_string(height) + "x24", "-nolisten", "tcp"},
        std::string{}, ready[1]);
    ::close(ready[1]);
    std::string number;
    char digit = 0;
    while (::read(ready[0], &digit, 1) == 1 && digit != '\n') number += digit;
    ::close(ready[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start");
    displayName_ = ":" + number;
    displayVariable_ = std::make_unique<ScopedEnvironment>("DISPLAY", displayName_);
    if (beforeAttach) beforeAttach(displayName_);
    server_ = platform::display::DisplayServer::connect(displayName_);
    if (!server_) throw std::runtime_error("cannot connect to " + displayName_);
    server_->attach();
}

XvfbSession::~XvfbSession() {
    server_.reset();
    platform::Services::current().mainQueue()->drain();
    platform::ui::testing::reset();
    platform::animation::testing::reset();
    xvfb_.reset();
}

bool XvfbSession::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto queue = platform::Services::current().mainQueue();
    const auto deadline = std::chrono::steady_clock::now() + corvantis::testing::patience(timeout);
    while (std::chrono::steady_clock::now() < deadline) {
        server_->processEvents();
        if (queue->runUntil(done, std::chrono::milliseconds(20))) return true;
    }
    return done();
}

void XvfbSession::settle() {
    // A round trip: once the server has answered, every event it sent before is in our queue.
    XSync(server_->connection().display(), False);
    server_->processEvents();
    platform::Services::current().mainQueue()->drain();
    server_->processEvents();
    server_->drawChangedWindows();
    XSync(server_->connection().display(), False);
}

void XvfbSession::xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> command{"xdotool"};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const auto run = ChildProcess::run(command);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    settle();
}

void XvfbSession::clickAt(int x, int y, int button) {
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", std::to_string(button)});
}

std::uint32_t XvfbSession::pixelAt(int x, int y) {
    Display* display = server_->connection().display();
    XImage* image = XGetImage(display, server_->connection().root(), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return pixel;
}

}  // namespace corvantis::testing
