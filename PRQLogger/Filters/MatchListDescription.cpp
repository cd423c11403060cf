#include "PRQLogger/Filters/MatchListDescription.hpp"

namespace prq {

std::string matchListDescription(bool inverse, const MatchSet& items) {
    std::string text = inverse ? "Including only matches for: " : "Excluding matches for: ";
    const bool onLines = items.size() > 5;
    const char* separator = onLines ? "\n\t- " : ", ";
    for (auto item = items.begin(); item != items.end(); ++item) {
        if (onLines || item != items.begin()) text += separator;
        text += *item;
    }
    return text;
}

}  // namespace prq
