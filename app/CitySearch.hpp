#pragma once

#include <string>
#include <string_view>

namespace corvantis {

// Whether a city's name holds a search text anywhere, ignoring letter case and nothing else: no
// locale, accents kept apart, blanks count. Made once per search text, asked once per city.
class CitySearch {
public:
    explicit CitySearch(std::string_view text);

    bool matches(std::string_view name) const;

private:
    std::string folded_;
    bool foldedIsAscii_;
};

}  // namespace corvantis
