#include "platform/display/ApplicationMain.hpp"

#include "platform/display/DisplayServer.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/ui/Application.hpp"

#include <cstdlib>

namespace platform::display {

int applicationMain() {
    const char* name = std::getenv("DISPLAY");
    std::unique_ptr<DisplayServer> server;
    if (name != nullptr && *name != '\0') server = DisplayServer::connect(name);
    if (server) {
        server->attach();
    } else {
        foundation::consoleLog(name != nullptr && *name != '\0'
                                   ? "Cannot open display " + std::string(name) + "; running without windows"
                                   : "No display (DISPLAY is not set); running without windows");
    }
    const int status = ui::applicationMain();
    if (server) server->detach();
    return status;
}

}  // namespace platform::display
