#include "testbed/desktop/KeyringSession.hpp"

#include "testbed/desktop/DesktopProgram.hpp"
#include "testbed/desktop/PrivateSessionBus.hpp"

namespace corvantis::testbed {

namespace {
constexpr auto startLimit = std::chrono::seconds(30);
constexpr const char* keyringPassword = "keyring-session-password";
}  // namespace

std::string KeyringSession::missingProgram() {
    for (const auto* program : {"dbus-daemon", "gnome-keyring-daemon", "gdbus"}) {
        if (!programExists(program)) return program;
    }
    return {};
}

KeyringSession::KeyringSession(const std::filesystem::path& folder) {
    if (const auto missing = missingProgram(); !missing.empty()) {
        problem_ = missing + " is not installed";
        return;
    }
    std::filesystem::create_directories(folder / "home");
    std::filesystem::create_directories(folder / "data");
    std::filesystem::create_directories(folder / "runtime");
    std::filesystem::permissions(folder / "runtime", std::filesystem::perms::owner_all);
    bus_ = std::make_unique<PrivateSessionBus>(folder / "bus");
    busAddress_ = bus_->address();
    if (busAddress_.empty()) {
        problem_ = "dbus-daemon did not start: " + bus_->output();
        return;
    }
    environment_ = {"DBUS_SESSION_BUS_ADDRESS=" + busAddress_, "HOME=" + (folder / "home").string(),
                    "XDG_DATA_HOME=" + (folder / "data").string(), "XDG_RUNTIME_DIR=" + (folder / "runtime").string()};
    keyring_ = std::make_unique<DesktopProgram>(environment_, "gnome-keyring-daemon",
                                                std::vector<std::string>{"--foreground", "--components=secrets", "--unlock"},
                                                keyringPassword);
    const DesktopProgram owner(environment_, "gdbus", {"wait", "--session", "--timeout", "20", "org.freedesktop.secrets"});
    if (!owner.waitForExit(startLimit) || !owner.exit()->succeeded()) {
        problem_ = "gnome-keyring-daemon's Secret Service did not appear on the bus: " + keyring_->output();
    }
}

KeyringSession::~KeyringSession() {
    keyring_.reset();
    bus_.reset();
}

}  // namespace corvantis::testbed
