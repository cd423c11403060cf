#include "PRQLogger/LogFormatters/ANSIColorLogFormatter.hpp"

#include "PRQLogger/LogFormatters/RgbDescription.hpp"

#include <algorithm>
#include <array>

namespace prq {

namespace {
std::string clampedText(std::int64_t value) {
    return std::to_string(std::clamp<std::int64_t>(value, 0, 255));
}

struct OptionText {
    std::string_view code;
    std::string_view description;
};

constexpr std::array<OptionText, 7> optionTexts = {{
    {"1", "Bold"},
    {"2", "Faint"},
    {"3", "Italic"},
    {"4", "Underline"},
    {"5", "Blink"},
    {"6", "Blink Fast"},
    {"9", "Strikethrough"},
}};

}  // namespace

using ANSIColor = ANSIColorLogFormatter::ANSIColor;
using ANSIOption = ANSIColorLogFormatter::ANSIOption;

std::string_view code(ANSIOption option) {
    return optionTexts[static_cast<std::size_t>(option)].code;
}

std::string_view description(ANSIOption option) {
    return optionTexts[static_cast<std::size_t>(option)].description;
}

std::string ANSIColor::foregroundCode() const {
    return code("38", 0);
}

std::string ANSIColor::backgroundCode() const {
    return code("48", 10);
}

std::string ANSIColor::code(std::string_view layer, int namedOffset) const {
    switch (kind_) {
        case Kind::named: return std::to_string(values_[0] + namedOffset);
        case Kind::rgb:
            return std::string(layer) + ";2;" + clampedText(values_[0]) + ";" + clampedText(values_[1]) + ";" +
                   clampedText(values_[2]);
        case Kind::colorIndex: return std::string(layer) + ";5;" + clampedText(values_[0]);
    }
    return {};
}

std::string ANSIColor::description() const {
    switch (kind_) {
        case Kind::named: return std::string(name_);
        case Kind::rgb: return rgbDescription(values_[0], values_[1], values_[2]);
        case Kind::colorIndex: return "ANSI color index: " + std::to_string(values_[0]);
    }
    return {};
}

ANSIColorLogFormatter::ANSIColorLogFormatter(CreationKey key) : LevelColorLogFormatter(key, reset) {}

void ANSIColorLogFormatter::colorize(Level level, const ANSIColor& with, const ANSIColor& on,
                                     const std::vector<ANSIOption>& options) {
    std::string format = std::string(escape) + with.foregroundCode() + ";" + on.backgroundCode();
    std::string described = with.description() + " on " + on.description();
    for (const ANSIOption option : options) {
        format += ";";
        format += code(option);
        described += "/";
        described += description(option);
    }
    setEntries(level, format + "m", std::move(described));
}

void ANSIColorLogFormatter::colorize(Level level, const std::string& custom) {
    const bool escaped = custom.starts_with(escape);
    const std::string parameters = escaped ? custom.substr(escape.size()) : custom;
    setEntries(level, std::string(escape) + parameters, "Custom: " + parameters);
}

void ANSIColorLogFormatter::resetFormatting() {
    colorize(Level::verbose, ANSIColor::white, ANSIColor::default_, {ANSIOption::bold});
    colorize(Level::debug, ANSIColor::black);
    colorize(Level::info, ANSIColor::blue);
    colorize(Level::warning, ANSIColor::yellow);
    colorize(Level::error, ANSIColor::red, ANSIColor::default_, {ANSIOption::bold});
    colorize(Level::severe, ANSIColor::white, ANSIColor::red);
    colorize(Level::none, ANSIColor::default_);
}

void ANSIColorLogFormatter::clearFormatting() {
    for (const Level level : schemeLevels) colorize(level, ANSIColor::default_);
}

}  // namespace prq
