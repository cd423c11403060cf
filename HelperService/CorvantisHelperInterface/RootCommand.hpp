#pragma once

#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>
#include <variant>

namespace corvantis::helper {

// Every command line the application sends to be run as root, one record each. A record's
// `form` is its exact text with holes: <address> for an IPv4 address, <dq:/name> and <word:/name>
// for the file "name" of the bundle's resources folder, written between double quotes
// (ShellText::doubleQuoted) or as one shell word (ShellText::word). `fields` lists the record's
// fields in the order of the holes; a field named twice must have one value. The application
// renders records into lines and the helper parses lines back into records, both from the form,
// so the two sides cannot drift apart.

// Route control of the kill switch and the Shield, and the tunnel's split routes.
struct AddDefaultRoute {
    static constexpr std::string_view form = "route -n add default <address>";
    static auto fields(auto& self) { return std::tie(self.gateway); }
    Ipv4Address gateway;
    bool operator==(const AddDefaultRoute&) const = default;
};

struct AddTunnelRoute {
    static constexpr std::string_view form = "route -n add -net 0/1 <address>";
    static auto fields(auto& self) { return std::tie(self.gateway); }
    Ipv4Address gateway;
    bool operator==(const AddTunnelRoute&) const = default;
};

struct DeleteTunnelRoute {
    static constexpr std::string_view form = "route -n delete 0/1 <address>";
    static auto fields(auto& self) { return std::tie(self.gateway); }
    Ipv4Address gateway;
    bool operator==(const DeleteTunnelRoute&) const = default;
};

struct AddHostRoute {
    static constexpr std::string_view form = "route -n add -net <address> <address>";
    static auto fields(auto& self) { return std::tie(self.destination, self.gateway); }
    Ipv4Address destination;
    Ipv4Address gateway;
    bool operator==(const AddHostRoute&) const = default;
};

struct DeleteHostRoute {
    static constexpr std::string_view form = "route -n delete <address> <address>";
    static auto fields(auto& self) { return std::tie(self.destination, self.gateway); }
    Ipv4Address destination;
    Ipv4Address gateway;
    bool operator==(const DeleteHostRoute&) const = default;
};

// Stores the gateway for the guard daemon, installs and loads it, then deletes the default route
// whatever became of the guard.
struct EngageKillSwitch {
    static constexpr std::string_view form =
        "defaults write /Library/Preferences/com.corvantis.Corvantis.plist gateway <address>"
        " && cp <dq:/com.corvantis.CorvantisGuard.plist> /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist"
        " && cp <dq:/corvantis_guard.sh> /Library/LaunchDaemons/corvantis_guard.sh"
        " && launchctl load -w /Library/LaunchDaemons/com.corvantis.CorvantisGuard.plist"
        " ; route -n delete default <address>";
    static auto fields(auto& self) { return std::tie(self.gateway, self.guardPlist, self.guardScript, self.gateway); }
    Ipv4Address gateway;
    std::filesystem::path guardPlist;
    std::filesystem::path guardScript;
    bool operator==(const EngageKillSwitch&) const = default;
};

// Name servers, the resolver file and the physical gateway.
struct ListNameServers {
    static constexpr std::string_view form = "scutil --dns | grep 'nameserver' | awk '{print $3}'";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const ListNameServers&) const = default;
};

struct ListResolverSecondFields {
    static constexpr std::string_view form = "grep -v '#' < /etc/resolv.conf | awk {'print $2'}";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const ListResolverSecondFields&) const = default;
};

struct FindDefaultGateway {
    static constexpr std::string_view form = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const FindDefaultGateway&) const = default;
};

// A fresh tunnel, the down script and the login item.
struct FlushDnsCache {
    static constexpr std::string_view form = "dscacheutil -flushcache; sudo killall -HUP mDNSResponder";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const FlushDnsCache&) const = default;
};

struct RunDownScript {
    static constexpr std::string_view form = "sh <dq:/down.sh>";
    static auto fields(auto& self) { return std::tie(self.script); }
    std::filesystem::path script;
    bool operator==(const RunDownScript&) const = default;
};

struct AddLoginItem {
    static constexpr std::string_view form =
        "osascript -e 'tell application \"System Events\" to make login item at end with properties "
        "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const AddLoginItem&) const = default;
};

struct DeleteLoginItem {
    static constexpr std::string_view form =
        "osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'";
    static auto fields(auto&) { return std::tie(); }
    bool operator==(const DeleteLoginItem&) const = default;
};

// Readying the bundle's openvpn program and tunnel driver.
struct OwnTunnelDrivers {
    static constexpr std::string_view form = "chown -R root:wheel <word:/Kexts>/*";
    static auto fields(auto& self) { return std::tie(self.kexts); }
    std::filesystem::path kexts;
    bool operator==(const OwnTunnelDrivers&) const = default;
};

struct OwnOpenVpnProgram {
    static constexpr std::string_view form = "chown root:wheel <word:/openvpn>";
    static auto fields(auto& self) { return std::tie(self.program); }
    std::filesystem::path program;
    bool operator==(const OwnOpenVpnProgram&) const = default;
};

struct MakeOpenVpnExecutable {
    static constexpr std::string_view form = "chmod +x 755 <word:/openvpn>";
    static auto fields(auto& self) { return std::tie(self.program); }
    std::filesystem::path program;
    bool operator==(const MakeOpenVpnExecutable&) const = default;
};

struct LoadTunnelDriver {
    static constexpr std::string_view form = "/sbin/kextload <word:/Kexts/tun-notarized.kext>";
    static auto fields(auto& self) { return std::tie(self.driver); }
    std::filesystem::path driver;
    bool operator==(const LoadTunnelDriver&) const = default;
};

// In the order a line is matched against them: the fixed texts of the tunnel routes before the
// host routes whose first address stands where their "0/1" does.
using RootCommand =
    std::variant<AddDefaultRoute, AddTunnelRoute, DeleteTunnelRoute, AddHostRoute, DeleteHostRoute, EngageKillSwitch,
                 ListNameServers, ListResolverSecondFields, FindDefaultGateway, FlushDnsCache, RunDownScript, AddLoginItem,
                 DeleteLoginItem, OwnTunnelDrivers, OwnOpenVpnProgram, MakeOpenVpnExecutable, LoadTunnelDriver>;

// Why a line is no command.
struct RootCommandMismatch {
    enum class Reason {
        unknownLine,
        // A line of a known form whose address hole holds `text`, which is no IPv4 address.
        notAnAddress,
        // A field named twice with two values.
        twoValuesForOneField,
    };
    Reason reason = Reason::unknownLine;
    std::string text;
};

// The exact line the application sends for the command.
std::string commandLine(const RootCommand& command);

// The command a line asks for. Bundle files must be the named files of `bundleResources`,
// quoted as the form says; with no resources folder the lines naming bundle files are unknown.
// When no form matches, the first line-shaped form whose address hole held a non-address
// explains the mismatch.
std::variant<RootCommand, RootCommandMismatch> parseCommandLine(std::string_view line,
                                                                const std::filesystem::path& bundleResources);

}  // namespace corvantis::helper
