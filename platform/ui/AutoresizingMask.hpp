#pragma once

namespace platform::ui {

// Autoresizing flags with AppKit's raw values. Views here resize with their superview by the
// two sizable flags only; the margin flags are refused (see `View::setAutoresizingMask`).
namespace AutoresizingMask {
inline constexpr unsigned none = 0;
inline constexpr unsigned minXMargin = 1;
inline constexpr unsigned widthSizable = 2;
inline constexpr unsigned maxXMargin = 4;
inline constexpr unsigned minYMargin = 8;
inline constexpr unsigned heightSizable = 16;
inline constexpr unsigned maxYMargin = 32;
}  // namespace AutoresizingMask

}  // namespace platform::ui
