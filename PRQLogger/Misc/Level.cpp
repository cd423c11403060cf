#include "PRQLogger/Misc/Level.hpp"

namespace prq {

namespace {
constexpr std::array<std::string_view, 10> descriptions = {"Verbose", "Debug",  "Info",  "Notice",    "Warning",
                                                           "Error",   "Severe", "Alert", "Emergency", "None"};
}  // namespace

std::optional<Level> LevelFromRaw(int raw) {
    if (raw < rawValue(Level::verbose) || raw > rawValue(Level::none)) return std::nullopt;
    return static_cast<Level>(raw);
}

std::string_view description(Level level) {
    return descriptions[static_cast<std::size_t>(rawValue(level))];
}

const std::vector<Level>& LevelAll() {
    static const std::vector<Level> levels(LevelAllCases.begin(), LevelAllCases.end() - 1);
    return levels;
}

}  // namespace prq
