#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace corvantis::helper {

// The resolver files the helper backs up and restores. Linux has no /var/run/resolv.conf, so
// both live files are /etc/resolv.conf unless configured otherwise.
struct ResolverPaths {
    std::filesystem::path etc = "/etc/resolv.conf";
    std::filesystem::path var = "/etc/resolv.conf";
    std::filesystem::path backup = "/tmp/corvantis_resolv.conf";
    // The resolver file as it was before a tunnel's name servers took its place. Beside the
    // helper's other state: it must outlive the helper (whose /tmp is its own) and a reboot,
    // as the file written for the tunnel does.
    std::filesystem::path beforeTunnel = "/var/lib/corvantis/resolv.conf.before-tunnel";
    // Where systemd-resolved listens when it runs; the tunnel's name servers then go to it.
    std::filesystem::path resolvedSocket = "/run/systemd/resolve/io.systemd.Resolve";
};

// Where the kill-switch guard gets installed.
struct GuardPaths {
    // The key file holding "gateway=<address>" for the guard.
    std::filesystem::path preferences = "/etc/corvantis/com.corvantis.Corvantis.conf";
    std::filesystem::path script = "/etc/corvantis/corvantis_guard.sh";
    std::filesystem::path unitFolder = "/etc/systemd/system";
    // The program the guard's unit runs in guard mode; empty: this very program.
    std::filesystem::path program;
    // The current VPN server's endpoints, which the guard lets out (see GuardInputPaths).
    std::filesystem::path endpoints = "/run/corvantis-guard.endpoints";
};

// The programs the helper runs, by absolute path.
struct ToolPaths {
    // Routes change in-process; a program named here stands in for that (given the arguments of
    // "ip -4 route add|del DESTINATION via GATEWAY"), for runs that must leave the routes alone.
    std::filesystem::path ip;
    std::filesystem::path systemctl = "/bin/systemctl";
    std::filesystem::path nft = "/usr/sbin/nft";
    std::filesystem::path resolvectl = "/usr/bin/resolvectl";
    std::filesystem::path shell = "/bin/sh";
    // The only program the helper starts for a tunnel, whatever path a request names.
    std::filesystem::path openvpn = "/usr/sbin/openvpn";
    // strongSwan's charon, one run per IKEv2 tunnel.
    std::filesystem::path charon = "/usr/sbin/charon-systemd";
    // L2TP's daemon, and the pppd it runs (always this path: xl2tpd names it itself).
    std::filesystem::path xl2tpd = "/usr/sbin/xl2tpd";
    std::filesystem::path pppd = "/usr/sbin/pppd";
};

// Everything the helper is told at start: built-in defaults, then the root-owned configuration
// file ("key = value" lines, '#' comments), then command-line options "--key=value" or
// "--key value" with the same keys.
struct HelperConfiguration {
    static constexpr const char* defaultFile = "/etc/corvantis/com.corvantis.CorvantisHelper.conf";

    // Who besides root may use the helper.
    std::set<uid_t> allowedUids;
    // Empty: CORVANTIS_HELPER_SOCKET, else /run/corvantis/com.corvantis.CorvantisHelper.sock.
    std::filesystem::path socket;
    // The application bundle's resources folder; command lines naming files elsewhere are refused.
    std::filesystem::path bundleResources;
    // The application program that a login item starts.
    std::filesystem::path applicationExecutable;
    ResolverPaths resolver;
    GuardPaths guard;
    ToolPaths tools;
    // Where each tunnel run gets a root-only folder for its credentials, profile and scripts.
    std::filesystem::path runtimeFolder = "/run/corvantis";
    // The root-only files standing in for the system keychain and the network preferences.
    std::filesystem::path systemKeychain = "/var/lib/corvantis/System.keychain";
    std::filesystem::path networkPreferences = "/var/lib/corvantis/preferences.json";
    // The certificate authorities (PEM) an IKEv2 server's certificate may come from.
    std::filesystem::path ikev2Authorities = "/etc/ssl/certs/ca-certificates.crt";

    bool allows(uid_t uid) const { return uid == 0 || allowedUids.contains(uid); }

    // Sets one key; "allow-uid" adds to the list (numbers separated by commas or blanks).
    platform::foundation::Expected<void> set(std::string_view key, std::string_view value);

    // Reads the configuration file ("--config" names another) and then applies the options.
    // A missing default file is no error; a file another user could have written is.
    static platform::foundation::Expected<HelperConfiguration> load(const std::vector<std::string>& arguments);

    static std::string usage();
};

}  // namespace corvantis::helper
