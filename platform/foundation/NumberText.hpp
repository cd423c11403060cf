#pragma once

#include <string>

namespace platform::foundation {

// The shortest text that reads back as the same double, the way the system prints numbers:
// integral values keep ".0" ("8.0"), very large or small ones use an exponent ("1e+16").
std::string doubleDescription(double value);

}  // namespace platform::foundation
