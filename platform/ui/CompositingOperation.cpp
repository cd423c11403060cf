#include "platform/ui/CompositingOperation.hpp"

#include <array>

namespace platform::ui {

namespace {
constexpr std::array<std::string_view, 11> names = {
    "clear",           "copy",          "sourceOver",     "sourceIn",        "sourceOut", "sourceAtop",
    "destinationOver", "destinationIn", "destinationOut", "destinationAtop", "xor",
};
}

std::optional<CompositingOperation> compositingOperationFromRaw(int raw) {
    if (raw < 0 || raw >= static_cast<int>(names.size())) return std::nullopt;
    return static_cast<CompositingOperation>(raw);
}

std::string_view description(CompositingOperation operation) {
    return names.at(static_cast<std::size_t>(operation));
}

}  // namespace platform::ui
