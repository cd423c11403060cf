#pragma once

#include <functional>
#include <set>
#include <string>

namespace prq {

// The texts a filter matches; looked up without copying the text in question.
using MatchSet = std::set<std::string, std::less<>>;

// The tail of a filter's description: "Including only matches for: " (include-only) or
// "Excluding matches for: ", then the items in ascending order, joined by ", "; six or more
// items each stand on a line of their own after a tab and "- ".
std::string matchListDescription(bool inverse, const MatchSet& items);

}  // namespace prq
