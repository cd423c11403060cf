#include "app/ErrorString.hpp"

namespace corvantis {

std::string_view rawValue(ErrorString value) {
    switch (value) {
        case ErrorString::maintenance: return "Server is under maintenance. Please try again a little later";
        case ErrorString::checkInternet:
            return "Something went wrong. Please check your connection and try again or contact support";
    }
    return {};
}

std::optional<ErrorString> ErrorStringFromRaw(std::string_view text) {
    for (const auto value : {ErrorString::maintenance, ErrorString::checkInternet}) {
        if (rawValue(value) == text) return value;
    }
    return std::nullopt;
}

}  // namespace corvantis
