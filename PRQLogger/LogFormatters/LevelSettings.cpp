#include "PRQLogger/LogFormatters/LevelSettings.hpp"

#include "PRQLogger/Misc/TypeName.hpp"

namespace prq {

std::string entryOrNone(const LevelStrings& strings, Level level) {
    const auto found = strings.find(level);
    return found == strings.end() ? "None" : found->second;
}

std::string levelSettingsDescription(const LogFormatterProtocol& formatter, FunctionRef<std::string(Level)> settingOf) {
    std::string text = extractTypeName(formatter) + ": ";
    for (const Level level : LevelAllCases) {
        text += "\n\t- ";
        text += description(level);
        text += " > ";
        text += settingOf(level);
    }
    return text;
}

}  // namespace prq
