#include "PRQLogger/LogFormatters/LevelColorLogFormatter.hpp"

namespace prq {

LevelColorLogFormatter::LevelColorLogFormatter(CreationKey, std::string_view reset) : reset_(reset) {}

void LevelColorLogFormatter::didCreate(CreationKey) {
    resetFormatting();
}

const LevelStrings& LevelColorLogFormatter::formatStrings() const {
    return formatStrings_;
}
void LevelColorLogFormatter::setFormatStrings(LevelStrings strings) {
    formatStrings_ = std::move(strings);
}
const LevelStrings& LevelColorLogFormatter::descriptionStrings() const {
    return descriptionStrings_;
}
void LevelColorLogFormatter::setDescriptionStrings(LevelStrings strings) {
    descriptionStrings_ = std::move(strings);
}

std::string LevelColorLogFormatter::formatString(Level level) const {
    const auto& strings = formatStrings();
    const auto found = strings.find(level);
    return found == strings.end() ? std::string(reset_) : found->second;
}

std::string LevelColorLogFormatter::format(LogDetails& logDetails, std::string& message) {
    std::string formatted = formatString(logDetails.level);
    formatted.reserve(formatted.size() + message.size() + reset_.size());
    formatted += message;
    formatted += reset_;
    message = formatted;
    return formatted;
}

std::string LevelColorLogFormatter::debugDescription() const {
    const auto& descriptions = descriptionStrings();
    return levelSettingsDescription(*this, [&](Level level) { return entryOrNone(descriptions, level); });
}

void LevelColorLogFormatter::setEntries(Level level, std::string format, std::string description) {
    auto formats = formatStrings();
    formats[level] = std::move(format);
    setFormatStrings(std::move(formats));
    auto descriptions = descriptionStrings();
    descriptions[level] = std::move(description);
    setDescriptionStrings(std::move(descriptions));
}

}  // namespace prq
