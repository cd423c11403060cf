#include "support/Patience.hpp"

#include <algorithm>
#include <cstdlib>
#include <thread>

namespace corvantis::testing {

std::chrono::milliseconds patience(std::chrono::milliseconds usual) {
    static const double factor = [] {
        const char* set = std::getenv("CORVANTIS_TEST_PATIENCE");
        char* end = nullptr;
        const double value = set != nullptr ? std::strtod(set, &end) : 1.0;
        return set != nullptr && *end == '\0' && value >= 1.0 ? value : 1.0;
    }();
    return std::chrono::milliseconds(static_cast<std::chrono::milliseconds::rep>(static_cast<double>(usual.count()) * factor));
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds usual) {
    const auto deadline = std::chrono::steady_clock::now() + patience(usual);
    // Checks close together at first, then further apart, so a long wait costs little.
    for (auto pause = std::chrono::milliseconds(5); std::chrono::steady_clock::now() < deadline;
         pause = std::min(pause * 2, std::chrono::milliseconds(100))) {
        if (done()) return true;
        std::this_thread::sleep_for(pause);
    }
    return done();
}

}  // namespace corvantis::testing
