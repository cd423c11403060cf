#pragma once

#include <string>

namespace platform::foundation {

// An error as the system's frameworks report it: the domain that raised it, a code within that
// domain, a description for people and, where the raiser gives them, the reason it failed and
// what the user might do about it (empty when not given).
struct DomainError {
    std::string domain;
    long code = 0;
    std::string localizedDescription;
    std::string localizedFailureReason{};
    std::string localizedRecoverySuggestion{};

    bool operator==(const DomainError&) const = default;
};

// The domain of errors that carry a bare status code of the system's C interfaces.
inline constexpr const char* NSOSStatusErrorDomain = "NSOSStatusErrorDomain";

// An error of that domain as the system makes it from a status alone, without further details.
inline DomainError osStatusError(long status) {
    return DomainError{NSOSStatusErrorDomain, status,
                       "The operation couldn\u2019t be completed. (OSStatus error " + std::to_string(status) + ".)"};
}

}  // namespace platform::foundation
