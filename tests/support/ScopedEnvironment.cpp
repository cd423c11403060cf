#include "support/ScopedEnvironment.hpp"

#include <cstdlib>
#include <ctime>

namespace corvantis::testing {

ScopedEnvironment::ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* current = std::getenv(name_.c_str())) previous_ = current;
    apply(name_, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    apply(name_, previous_);
}

void ScopedEnvironment::apply(const std::string& name, const std::optional<std::string>& value) {
    if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
    } else {
        ::unsetenv(name.c_str());
    }
    if (name == "TZ") ::tzset();
}

}  // namespace corvantis::testing
