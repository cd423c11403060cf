#include "platform/foundation/RegularExpression.hpp"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace platform::foundation {

struct RegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

Expected<RegularExpression> RegularExpression::make(std::string_view pattern) {
    UErrorCode status = U_ZERO_ERROR;
    UParseError where{};
    auto compiled = std::make_shared<Compiled>();
    compiled->pattern.reset(icu::RegexPattern::compile(icu::UnicodeString::fromUTF8(pattern), 0, where, status));
    if (U_FAILURE(status) || !compiled->pattern) {
        return Error{EINVAL, "The pattern " + std::string(pattern) + " is not a valid regular expression (" +
                                 u_errorName(status) + " at offset " + std::to_string(where.offset) + ")"};
    }
    return RegularExpression(std::string(pattern), std::move(compiled));
}

bool RegularExpression::matchesWhole(std::string_view text) const {
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString subject = icu::UnicodeString::fromUTF8(text);
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(subject, status));
    if (U_FAILURE(status) || !matcher) return false;
    const bool matched = matcher->matches(status);
    return U_SUCCESS(status) && matched;
}

}  // namespace platform::foundation
