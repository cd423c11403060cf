#pragma once

#include <optional>
#include <string>

namespace corvantis::testing {

// Sets an environment variable (or removes it, for none) for as long as it lives, then puts
// back what was there. Setting "TZ" also makes the C library read the zone again.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void apply(const std::string& name, const std::optional<std::string>& value);

    std::string name_;
    std::optional<std::string> previous_;
};

}  // namespace corvantis::testing
