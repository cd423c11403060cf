#include "platform/display/TrayChooser.hpp"

#include "platform/display/DisplayServer.hpp"
#include "platform/display/SessionBus.hpp"
#include "platform/display/StatusNotifierTray.hpp"
#include "platform/display/StripTray.hpp"
#include "platform/display/XEmbedTray.hpp"
#include "platform/foundation/Console.hpp"

#include <cstdlib>

namespace platform::display {

std::string_view name(Tray::Kind kind) {
    switch (kind) {
        case Tray::Kind::statusNotifierItem: return "sni";
        case Tray::Kind::xembed: return "xembed";
        case Tray::Kind::strip: return "strip";
    }
    return "strip";
}

std::optional<Tray::Kind> forcedTrayKind(std::string_view setting) {
    for (const auto kind : {Tray::Kind::statusNotifierItem, Tray::Kind::xembed, Tray::Kind::strip}) {
        if (setting == name(kind)) return kind;
    }
    return std::nullopt;
}

namespace {
std::unique_ptr<Tray> statusNotifierTray(DisplayServer& server, bool forced, std::string& reason) {
    auto bus = SessionBus::connect();
    if (!bus) {
        reason = "no session bus";
        return nullptr;
    }
    if (!forced && !bus->hasOwner(StatusNotifierTray::watcherName)) {
        reason = "no StatusNotifierWatcher on the session bus";
        return nullptr;
    }
    auto tray = StatusNotifierTray::make(std::move(bus), server.connection());
    if (!tray) reason = "the session bus refused the item's name";
    return tray;
}
}  // namespace

std::unique_ptr<Tray> chooseTray(DisplayServer& server) {
    const char* setting = std::getenv("CORVANTIS_TRAY");
    const auto forced = forcedTrayKind(setting != nullptr ? setting : "");
    std::string reason;
    std::unique_ptr<Tray> tray;
    if (!forced || *forced == Tray::Kind::statusNotifierItem) tray = statusNotifierTray(server, forced.has_value(), reason);
    if (!tray && (!forced || *forced == Tray::Kind::xembed)) {
        if (forced || XEmbedTray::manager(server.connection()) != None) {
            tray = std::make_unique<XEmbedTray>(server.connection());
        } else {
            reason += (reason.empty() ? "" : ", ") + std::string("no XEmbed tray manager");
        }
    }
    if (!tray) tray = std::make_unique<StripTray>();
    std::string line = "Status item: " + std::string(name(tray->kind()));
    if (forced) {
        line += " (CORVANTIS_TRAY)";
        if (*forced != tray->kind()) line += ", since " + reason;
    } else if (!reason.empty()) {
        line += " (" + reason + ")";
    }
    foundation::consoleLog(line);
    return tray;
}

}  // namespace platform::display
