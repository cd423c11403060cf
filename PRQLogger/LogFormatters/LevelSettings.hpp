#pragma once

#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"
#include "PRQLogger/Misc/FunctionRef.hpp"
#include "PRQLogger/Misc/Level.hpp"

#include <map>
#include <string>

namespace prq {

// A formatter's text for each level that has one.
using LevelStrings = std::map<Level, std::string>;

// The level's entry, or "None" when it has none.
std::string entryOrNone(const LevelStrings& strings, Level level);

// "<type name>: ", then for every level, `none` included, a line break, a tab, "- ", the level's
// description, " > " and its setting; no final line break.
std::string levelSettingsDescription(const LogFormatterProtocol& formatter, FunctionRef<std::string(Level)> settingOf);

}  // namespace prq
