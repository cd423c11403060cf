#pragma once

#include <string>
#include <string_view>

namespace corvantis {

class Base64 {
public:
    Base64() = delete;

    // Standard Base64 on one line, padded with "="; 4 characters for every 3 bytes begun.
    static std::string encode(std::string_view bytes);
};

}  // namespace corvantis
