#pragma once

namespace platform::ui {

// Window style flags with AppKit's raw values.
namespace WindowStyleMask {
inline constexpr unsigned borderless = 0;
inline constexpr unsigned titled = 1;
inline constexpr unsigned closable = 2;
inline constexpr unsigned miniaturizable = 4;
inline constexpr unsigned resizable = 8;
// A panel that takes keyboard focus without making its application active.
inline constexpr unsigned nonactivatingPanel = 128;
}  // namespace WindowStyleMask

}  // namespace platform::ui
