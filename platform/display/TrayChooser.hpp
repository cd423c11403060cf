#pragma once

#include "platform/display/Tray.hpp"

#include <memory>
#include <optional>
#include <string_view>

namespace platform::display {

class DisplayServer;

// The kind forced by CORVANTIS_TRAY ("sni", "xembed" or "strip"); none when unset or unknown.
std::optional<Tray::Kind> forcedTrayKind(std::string_view setting);

// The tray for this desktop: the one CORVANTIS_TRAY forces, else a StatusNotifierItem when a
// watcher runs on the session bus, else an XEmbed tray when a tray manager owns the screen's
// tray selection, else the strip. The choice and its reason are logged once.
std::unique_ptr<Tray> chooseTray(DisplayServer& server);

}  // namespace platform::display
