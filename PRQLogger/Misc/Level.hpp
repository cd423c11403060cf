#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace prq {

// How important a log line is. Levels compare by their raw values; a level is enabled for an
// output level when it is at or above it. `none` as an output level silences: no log call uses it.
enum class Level : int {
    verbose = 0,
    debug = 1,
    info = 2,
    notice = 3,
    warning = 4,
    error = 5,
    severe = 6,
    alert = 7,
    emergency = 8,
    none = 9,
};

std::optional<Level> LevelFromRaw(int raw);
constexpr int rawValue(Level level) {
    return static_cast<int>(level);
}
// "Verbose", "Debug", …, "None".
std::string_view description(Level level);

// Every case, `none` included, in raw-value order.
inline constexpr std::array<Level, 10> LevelAllCases = {Level::verbose,   Level::debug, Level::info,   Level::notice,
                                                        Level::warning,   Level::error, Level::severe, Level::alert,
                                                        Level::emergency, Level::none};

// The nine levels that have log calls, Verbose to Emergency.
const std::vector<Level>& LevelAll();

// Names that destinations show for levels in place of their descriptions.
using LevelDescriptions = std::map<Level, std::string>;

}  // namespace prq
