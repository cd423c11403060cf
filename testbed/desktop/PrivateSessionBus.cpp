#include "testbed/desktop/PrivateSessionBus.hpp"

#include "testbed/desktop/DesktopProgram.hpp"

#include <fstream>

namespace corvantis::testbed {

PrivateSessionBus::PrivateSessionBus(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const auto configuration = folder / "session.conf";
    std::ofstream(configuration)
        << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
           "<busconfig><type>session</type><listen>unix:path="
        << (folder / "socket").string()
        << "</listen><auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
           "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n";
    daemon_ = std::make_unique<DesktopProgram>(
        std::vector<std::string>{}, "dbus-daemon",
        std::vector<std::string>{"--config-file=" + configuration.string(), "--nofork", "--print-address=1"});
    if (!daemon_->waitForOutput("\n", std::chrono::seconds(30))) return;
    const auto printed = daemon_->standardOutput();
    address_ = printed.substr(0, printed.find('\n'));
}

PrivateSessionBus::~PrivateSessionBus() = default;

std::string PrivateSessionBus::output() const {
    return daemon_->output();
}

}  // namespace corvantis::testbed
