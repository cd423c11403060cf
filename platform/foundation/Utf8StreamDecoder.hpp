#pragma once

#include <string>
#include <string_view>

namespace platform::foundation {

// Decodes a byte stream that arrives in chunks as UTF-8 text, leniently: a character split
// between two chunks comes out whole, and bytes that cannot be UTF-8 become U+FFFD instead of
// spoiling the rest of the text.
class Utf8StreamDecoder {
public:
    // The text of every character complete so far; an unfinished one waits for the next chunk.
    std::string decode(std::string_view chunk);
    // At the end of the stream: an unfinished character left over becomes U+FFFD.
    std::string finish();

private:
    std::string pending_;
};

}  // namespace platform::foundation
