#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace corvantis::testbed {

class DesktopProgram;

// A session bus of a test's own: a dbus-daemon listening on a socket in `folder`, with a
// configuration that offers no service to start, so that only what the test runs is on it.
// Destroying it ends the daemon.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const std::filesystem::path& folder);
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // The bus's address for DBUS_SESSION_BUS_ADDRESS; empty when the daemon did not start.
    const std::string& address() const { return address_; }
    // What the daemon said, for a test that could not use it.
    std::string output() const;

private:
    std::unique_ptr<DesktopProgram> daemon_;
    std::string address_;
};

}  // namespace corvantis::testbed
