#include "HelperService/CorvantisHelper/LogText.hpp"

#include <cstdio>

namespace corvantis::helper {

std::string printableForLog(std::string_view text, std::size_t limit) {
    std::string printable;
    for (std::size_t index = 0; index < text.size() && index < limit; ++index) {
        const auto byte = static_cast<unsigned char>(text[index]);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            printable.push_back(static_cast<char>(byte));
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            printable += escaped;
        }
    }
    if (text.size() > limit) printable += "...";
    return printable;
}

}  // namespace corvantis::helper
