#include "app/StringSlice.hpp"

#include "platform/foundation/UnicodeNormalization.hpp"

namespace corvantis {

std::optional<std::string> slice(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty() || to.empty()) return std::nullopt;
    using platform::foundation::precomposedStringWithCanonicalMapping;
    const auto composed = precomposedStringWithCanonicalMapping(text);
    const auto opening = precomposedStringWithCanonicalMapping(from);
    const auto start = composed.find(opening);
    if (start == std::string::npos) return std::nullopt;
    const auto begin = start + opening.size();
    const auto end = composed.find(precomposedStringWithCanonicalMapping(to), begin);
    if (end == std::string::npos) return std::nullopt;
    return composed.substr(begin, end - begin);
}

}  // namespace corvantis
