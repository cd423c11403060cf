#pragma once

#include "platform/foundation/Expected.hpp"

#include <memory>
#include <string>
#include <string_view>

namespace platform::foundation {

// A compiled ICU regular expression, as the platform's "MATCHES" predicates use them:
// case-sensitive, "." stops at line breaks, characters counted as code points.
class RegularExpression {
public:
    // Fails with a description when the pattern does not compile.
    static Expected<RegularExpression> make(std::string_view pattern);

    const std::string& pattern() const { return pattern_; }
    // Whether the whole text, from its first to its last character, matches.
    bool matchesWhole(std::string_view text) const;

private:
    struct Compiled;
    RegularExpression(std::string pattern, std::shared_ptr<const Compiled> compiled)
        : pattern_(std::move(pattern)), compiled_(std::move(compiled)) {}

    std::string pattern_;
    std::shared_ptr<const Compiled> compiled_;
};

}  // namespace platform::foundation
