#pragma once

#include <string>

namespace platform::foundation {

// An error as the system's frameworks report it: the domain that raised it, a code within that
// domain, and a description for people.
struct DomainError {
    std::string domain;
    long code = 0;
    std::string localizedDescription;

    bool operator==(const DomainError&) const = default;
};

}  // namespace platform::foundation
