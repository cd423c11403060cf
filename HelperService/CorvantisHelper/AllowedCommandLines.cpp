#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"

#include "HelperService/CorvantisHelper/LogText.hpp"
#include "HelperService/CorvantisHelperInterface/ShellText.hpp"

#include <algorithm>

#include <optional>

namespace corvantis::helper {

namespace {
constexpr const char* twoGateways = "the kill-switch line names two different gateways";
constexpr const char* unknownLine = "it is not one of the command lines the application sends";

constexpr std::string_view addressMark = "<address>";
// A file of the bundle's resources folder, named by its path inside the folder: as one shell
// word, or between double quotes.
constexpr std::string_view wordMark = "<word:";
constexpr std::string_view doubleQuotedMark = "<dq:";

struct PatternText {
    std::string_view text;
    CommandKind kind;
};

// Every command line the application sends, as it builds them. <address> stands for an IPv4
// address, <word:/name> and <dq:/name> for a file of the bundle's resources folder.
constexpr PatternText commandLines[] = {
    // Route control of the kill switch and the Shield, and the tunnel's split routes.
    {"route -n add default <address>", CommandKind::addDefaultRoute},
    {"route -n add -net 0/1 <address>", CommandKind::addTunnelRoute},
    {"route -n delete 0/1 <address>", CommandKind::deleteTunnelRoute},
    {"route -n add -net <address> <address>", CommandKind::addHostRoute},
    {"route -n delete <address> <address>", CommandKind::deleteHostRoute},
    {"defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway <address>"
     " && cp <dq:/com.corvantis.CorvantisGuard.plist> /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist"
     " && cp <dq:/corvantis_guard.sh> /Library/LaunchDaemons/corvantis_guard.sh"
     " && launchctl load -w /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist"
     " ; route -n delete default <address>",
     CommandKind::engageKillSwitch},
    // Name servers, the resolver file and the physical gateway.
    {"scutil --dns | grep 'nameserver' | awk '{print $3}'", CommandKind::listNameServers},
    {"grep -v '#' < /etc/resolv.conf | awk {'print $2'}", CommandKind::listResolverSecondFields},
    {"netstat -nr | grep '^default' | awk 'NR==1{print $2}'", CommandKind::findDefaultGateway},
    // A fresh tunnel, the down script and the login item.
    {"dscacheutil -flushcache; sudo killall -HUP mDNSResponder", CommandKind::flushDnsCache},
    {"sh <dq:/down.sh>", CommandKind::runDownScript},
    {"osascript -e 'tell application \"System Events\" to make login item at end with properties "
     "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'",
     CommandKind::addLoginItem},
    {"osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'",
     CommandKind::deleteLoginItem},
    // Readying the bundle's openvpn program and tunnel driver.
    {"chown -R root:wheel <word:/Kexts>/*", CommandKind::prepareBundleFiles},
    {"chown root:wheel <word:/openvpn>", CommandKind::prepareBundleFiles},
    {"chmod +x 755 <word:/openvpn>", CommandKind::prepareBundleFiles},
    {"/sbin/kextload <word:/Kexts/tun-notarized.kext>", CommandKind::prepareBundleFiles},
};

bool namesBundleFiles(std::string_view text) {
    return text.find(wordMark) != std::string_view::npos || text.find(doubleQuotedMark) != std::string_view::npos;
}

// The pattern with each bundle file written the way the application writes it.
std::string withBundlePaths(std::string_view text, const std::filesystem::path& resources) {
    std::string made;
    for (;;) {
        const auto word = text.find(wordMark);
        const auto quoted = text.find(doubleQuotedMark);
        const auto mark = std::min(word, quoted);
        if (mark == std::string_view::npos) return made + std::string(text);
        const auto markLength = mark == word ? wordMark.size() : doubleQuotedMark.size();
        const auto end = text.find('>', mark);
        const auto path = resources.string() + std::string(text.substr(mark + markLength, end - mark - markLength));
        made += text.substr(0, mark);
        made += mark == word ? ShellText::word(path) : ShellText::doubleQuoted(path);
        text.remove_prefix(end + 1);
    }
}

}  // namespace

AllowedCommandLines::Pattern AllowedCommandLines::compile(std::string_view text, CommandKind kind) {
    Pattern pattern{{}, kind};
    for (;;) {
        const auto mark = text.find(addressMark);
        if (mark == std::string_view::npos) {
            pattern.segments.push_back({std::string(text), false});
            return pattern;
        }
        pattern.segments.push_back({std::string(text.substr(0, mark)), true});
        text.remove_prefix(mark + addressMark.size());
    }
}

AllowedCommandLines::AllowedCommandLines(const std::filesystem::path& bundleResources) {
    for (const auto& line : commandLines) {
        if (namesBundleFiles(line.text) && bundleResources.empty()) continue;
        patterns_.push_back(compile(withBundlePaths(line.text, bundleResources), line.kind));
    }
}

std::variant<AllowedCommand, CommandRefusal> AllowedCommandLines::match(std::string_view line) const {
    std::optional<CommandRefusal> nearest;
    for (const auto& pattern : patterns_) {
        AllowedCommand command{pattern.kind, {}};
        std::string_view rest = line;
        bool matches = true;
        for (std::size_t index = 0; matches && index < pattern.segments.size(); ++index) {
            const Segment& segment = pattern.segments[index];
            if (!rest.starts_with(segment.literal)) {
                matches = false;
                break;
            }
            rest.remove_prefix(segment.literal.size());
            if (!segment.addressFollows) {
                matches = rest.empty();
                break;
            }
            // The address runs up to where the next literal text begins.
            const std::string& next = pattern.segments[index + 1].literal;
            const auto end = next.empty() ? rest.size() : rest.find(next);
            if (end == std::string_view::npos) {
                matches = false;
                break;
            }
            const auto address = Ipv4Address::parse(rest.substr(0, end));
            if (!address) {
                if (!nearest) nearest = CommandRefusal{"\"" + printableForLog(rest.substr(0, end)) + "\" is not an IPv4 address",
                                                         "an address in it is not an IPv4 address"};
                matches = false;
                break;
            }
            command.addresses.push_back(*address);
            rest.remove_prefix(end);
        }
        if (!matches) continue;
        if (command.kind == CommandKind::engageKillSwitch && command.addresses[0] != command.addresses[1]) {
            return CommandRefusal{twoGateways, twoGateways};
        }
        return command;
    }
    if (nearest) return *nearest;
    return CommandRefusal{unknownLine, unknownLine};
}

}  // namespace corvantis::helper
