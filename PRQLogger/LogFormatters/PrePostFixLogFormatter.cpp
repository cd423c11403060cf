#include "PRQLogger/LogFormatters/PrePostFixLogFormatter.hpp"

namespace prq {

namespace {
void settle(LevelStrings& strings, Level level, const std::optional<std::string>& text) {
    if (text) {
        strings[level] = *text;
    } else {
        strings.erase(level);
    }
}

const std::string* entry(const LevelStrings& strings, Level level) {
    const auto found = strings.find(level);
    return found == strings.end() ? nullptr : &found->second;
}
}  // namespace

const LevelStrings& PrePostFixLogFormatter::prefixStrings() const {
    return prefixStrings_;
}
void PrePostFixLogFormatter::setPrefixStrings(LevelStrings strings) {
    prefixStrings_ = std::move(strings);
}
const LevelStrings& PrePostFixLogFormatter::postfixStrings() const {
    return postfixStrings_;
}
void PrePostFixLogFormatter::setPostfixStrings(LevelStrings strings) {
    postfixStrings_ = std::move(strings);
}

void PrePostFixLogFormatter::apply(const std::optional<std::string>& prefix, const std::optional<std::string>& postfix,
                                   std::optional<Level> to) {
    if (to) {
        auto prefixes = prefixStrings();
        settle(prefixes, *to, prefix);
        setPrefixStrings(std::move(prefixes));
        auto postfixes = postfixStrings();
        settle(postfixes, *to, postfix);
        setPostfixStrings(std::move(postfixes));
    } else if (!prefix && !postfix) {
        clearFormatting();
    } else {
        for (const Level level : LevelAllCases) apply(prefix, postfix, level);
    }
}

void PrePostFixLogFormatter::clearFormatting() {
    setPrefixStrings({});
    setPostfixStrings({});
}

std::string PrePostFixLogFormatter::format(LogDetails& logDetails, std::string& message) {
    const std::string* prefix = entry(prefixStrings(), logDetails.level);
    const std::string* postfix = entry(postfixStrings(), logDetails.level);
    if (prefix) message.insert(0, *prefix);
    if (postfix) message += *postfix;
    return message;
}

std::string PrePostFixLogFormatter::debugDescription() const {
    const auto& prefixes = prefixStrings();
    const auto& postfixes = postfixStrings();
    return levelSettingsDescription(
        *this, [&](Level level) { return entryOrNone(prefixes, level) + " | " + entryOrNone(postfixes, level); });
}

}  // namespace prq
