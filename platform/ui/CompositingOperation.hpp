#pragma once

#include <optional>
#include <string_view>

namespace platform::ui {

// The Porter-Duff compositing operations with AppKit's raw values.
enum class CompositingOperation : int {
    clear = 0,
    copy = 1,
    sourceOver = 2,
    sourceIn = 3,
    sourceOut = 4,
    sourceAtop = 5,
    destinationOver = 6,
    destinationIn = 7,
    destinationOut = 8,
    destinationAtop = 9,
    exclusiveOr = 10,
};

std::optional<CompositingOperation> compositingOperationFromRaw(int raw);
std::string_view description(CompositingOperation operation);

}  // namespace platform::ui
