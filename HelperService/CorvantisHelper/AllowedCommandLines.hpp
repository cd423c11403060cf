#pragma once

#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>

namespace corvantis::helper {

struct CommandRefusal {
    // Why, quoting the offending part of the line safely.
    std::string reason;
    // Why, without any of the line's text: what the helper's log keeps of a refusal.
    std::string summary;
};

// The closed set of command lines the application sends to be run as root: a line is accepted
// only when it is one of the command table's lines exactly, with every address a valid IPv4
// address and every path a file of the configured application bundle. Nothing here ever reaches
// a shell.
class AllowedCommandLines {
public:
    // Without a bundle resources folder, the lines that name bundle files are refused.
    explicit AllowedCommandLines(std::filesystem::path bundleResources);

    std::variant<RootCommand, CommandRefusal> match(std::string_view line) const;

private:
    std::filesystem::path bundleResources_;
};

}  // namespace corvantis::helper
