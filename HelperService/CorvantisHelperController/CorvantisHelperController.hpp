#pragma once

#include <functional>
#include <optional>
#include <string>

namespace corvantis {

// The application's client of the privileged helper: every call opens a fresh connection to
// the helper and hands its first reply back on the main queue.
class CorvantisHelperController {
public:
    virtual ~CorvantisHelperController() = default;

    // Has the helper run `command` as root. `reply` gets the helper's first reply (the command's
    // first output, or an empty text) once, on the main queue; without a reply it is never called.
    virtual void runCommand(const std::string& command, std::function<void(std::optional<std::string>)> reply) = 0;
};

}  // namespace corvantis
