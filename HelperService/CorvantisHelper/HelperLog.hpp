#pragma once

#include <string>

namespace corvantis::helper {

// Where the helper's messages go; the real one is the system log at notice level.
class HelperLog {
public:
    virtual ~HelperLog() = default;
    virtual void notice(const std::string& message) = 0;
};

}  // namespace corvantis::helper
