#pragma once

namespace platform::ui {

// Window levels with AppKit's raw values: windows of a higher level lie above those of a lower one.
namespace WindowLevel {
inline constexpr int normal = 0;
inline constexpr int floating = 3;
inline constexpr int modalPanel = 8;
inline constexpr int statusBar = 25;
inline constexpr int popUpMenu = 101;
}  // namespace WindowLevel

}  // namespace platform::ui
