#pragma once

#include <cstddef>

namespace platform::ui {

// A stretch of text: `location` and `length` count bytes of its UTF-8 form.
struct TextRange {
    std::size_t location = 0;
    std::size_t length = 0;

    std::size_t end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

}  // namespace platform::ui
