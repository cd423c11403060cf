#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace corvantis::helper {

// What an accepted command line asks for.
enum class CommandKind {
    addDefaultRoute,
    addHostRoute,
    deleteHostRoute,
    addTunnelRoute,
    deleteTunnelRoute,
    engageKillSwitch,
    listNameServers,
    listResolverSecondFields,
    findDefaultGateway,
    flushDnsCache,
    runDownScript,
    addLoginItem,
    deleteLoginItem,
    prepareBundleFiles,
};

struct AllowedCommand {
    CommandKind kind;
    // The addresses in the line, in the order they appear.
    std::vector<Ipv4Address> addresses;
};

struct CommandRefusal {
    // Why, quoting the offending part of the line safely.
    std::string reason;
    // Why, without any of the line's text: what the helper's log keeps of a refusal.
    std::string summary;
};

// The closed set of command lines the application sends to be run as root. A line is accepted
// only when it is one of them exactly, with every address a valid IPv4 address and every path
// inside the configured application bundle. Nothing here ever reaches a shell.
class AllowedCommandLines {
public:
    // Without a bundle resources folder, the lines that name bundle files are refused.
    explicit AllowedCommandLines(const std::filesystem::path& bundleResources);

    std::variant<AllowedCommand, CommandRefusal> match(std::string_view line) const;

private:
    struct Segment {
        std::string literal;
        // An IPv4 address follows the literal.
        bool addressFollows = false;
    };
    struct Pattern {
        std::vector<Segment> segments;
        CommandKind kind;
    };
    static Pattern compile(std::string_view text, CommandKind kind);

    std::vector<Pattern> patterns_;
};

}  // namespace corvantis::helper
