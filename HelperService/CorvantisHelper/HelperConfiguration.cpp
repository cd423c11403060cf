#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/servicemanagement/JobConfiguration.hpp"

#include <map>
#include <optional>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

// The path setting a key names; null for an unknown key.
std::filesystem::path* pathFor(HelperConfiguration& configuration, std::string_view key) {
    if (key == "socket") return &configuration.socket;
    if (key == "bundle-resources") return &configuration.bundleResources;
    if (key == "application-executable") return &configuration.applicationExecutable;
    if (key == "resolv-etc") return &configuration.resolver.etc;
    if (key == "resolv-var") return &configuration.resolver.var;
    if (key == "resolv-backup") return &configuration.resolver.backup;
    if (key == "resolv-before-tunnel") return &configuration.resolver.beforeTunnel;
    if (key == "resolved-socket") return &configuration.resolver.resolvedSocket;
    if (key == "guard-preferences") return &configuration.guard.preferences;
    if (key == "guard-endpoints") return &configuration.guard.endpoints;
    if (key == "guard-script") return &configuration.guard.script;
    if (key == "guard-unit-folder") return &configuration.guard.unitFolder;
    if (key == "guard-program") return &configuration.guard.program;
    if (key == "nft") return &configuration.tools.nft;
    if (key == "ip") return &configuration.tools.ip;
    if (key == "systemctl") return &configuration.tools.systemctl;
    if (key == "resolvectl") return &configuration.tools.resolvectl;
    if (key == "shell") return &configuration.tools.shell;
    if (key == "openvpn") return &configuration.tools.openvpn;
    if (key == "charon") return &configuration.tools.charon;
    if (key == "xl2tpd") return &configuration.tools.xl2tpd;
    if (key == "pppd") return &configuration.tools.pppd;
    if (key == "ikev2-authorities") return &configuration.ikev2Authorities;
    if (key == "runtime-folder") return &configuration.runtimeFolder;
    if (key == "system-keychain") return &configuration.systemKeychain;
    if (key == "network-preferences") return &configuration.networkPreferences;
    return nullptr;
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

Expected<void> applyFile(HelperConfiguration& configuration, const std::filesystem::path& path, bool mayBeMissing) {
    auto content = RootFiles::readTrustedFile(path);
    if (!content) {
        if (mayBeMissing && content.error().code == ENOENT) return {};
        return Error{content.error().code, "Refusing the configuration file: " + content.error().message};
    }
    std::string_view rest = content.value();
    for (int line = 1; !rest.empty(); ++line) {
        const auto end = std::min(rest.find('\n'), rest.size());
        std::string_view text = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        text = trimmed(text.substr(0, text.find('#')));
        if (text.empty()) continue;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) {
            return Error{EINVAL, path.string() + " line " + std::to_string(line) + ": expected \"key = value\""};
        }
        if (auto set = configuration.set(trimmed(text.substr(0, equals)), trimmed(text.substr(equals + 1))); !set) {
            return Error{EINVAL, path.string() + " line " + std::to_string(line) + ": " + set.error().message};
        }
    }
    return {};
}

struct Option {
    std::string key;
    std::string value;
};

Expected<std::vector<Option>> parseOptions(const std::vector<std::string>& arguments) {
    std::vector<Option> options;
    for (std::size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument.rfind("--", 0) != 0 || argument.size() == 2) {
            return Error{EINVAL, "Unexpected argument \"" + argument + "\""};
        }
        const auto equals = argument.find('=');
        if (equals != std::string::npos) {
            options.push_back({argument.substr(2, equals - 2), argument.substr(equals + 1)});
        } else if (index + 1 < arguments.size()) {
            options.push_back({argument.substr(2), arguments[++index]});
        } else {
            return Error{EINVAL, "The option " + argument + " needs a value"};
        }
    }
    return options;
}

}  // namespace

Expected<void> HelperConfiguration::set(std::string_view key, std::string_view value) {
    if (key == "allow-uid") {
        // Read as the installing side writes it.
        auto users = platform::servicemanagement::JobConfiguration::userIds(value);
        if (!users) return Error{EINVAL, "allow-uid: " + users.error().message};
        allowedUids.merge(users.value());
        return {};
    }
    std::filesystem::path* path = pathFor(*this, key);
    if (path == nullptr) return Error{EINVAL, "Unknown setting \"" + std::string(key) + "\""};
    const std::filesystem::path given(value);
    if (!given.is_absolute()) return Error{EINVAL, std::string(key) + " needs an absolute path"};
    auto normal = given.lexically_normal();
    // "/a/b/" and "/a/b" name one folder; command lines are matched against the latter.
    if (!normal.has_filename() && normal != normal.root_path()) normal = normal.parent_path();
    *path = normal;
    return {};
}

Expected<HelperConfiguration> HelperConfiguration::load(const std::vector<std::string>& arguments) {
    auto options = parseOptions(arguments);
    if (!options) return options.error();
    std::optional<std::filesystem::path> file;
    for (const auto& option : options.value()) {
        if (option.key == "config") file = option.value;
    }
    HelperConfiguration configuration;
    if (auto applied = applyFile(configuration, file.value_or(defaultFile), !file); !applied) return applied.error();
    for (const auto& option : options.value()) {
        if (option.key == "config") continue;
        if (auto set = configuration.set(option.key, option.value); !set) return set.error();
    }
    return configuration;
}

std::string HelperConfiguration::usage() {
    return "usage: com.corvantis.CorvantisHelper [--config FILE] [--KEY=VALUE ...]\n"
           "Settings (in " +
           std::string(defaultFile) +
           " as \"KEY = VALUE\", or as options):\n"
           "  allow-uid              user ids besides root that may use the helper\n"
           "  bundle-resources       the application bundle's resources folder\n"
           "  application-executable the program a login item starts\n"
           "  socket                 the socket to listen on\n"
           "  resolv-etc, resolv-var, resolv-backup, resolv-before-tunnel   the resolver files\n"
           "  resolved-socket        where systemd-resolved listens when it runs\n"
           "  guard-preferences, guard-endpoints, guard-script, guard-unit-folder   where the kill-switch guard goes\n"
           "  guard-program          the program the guard runs (default: this one)\n"
           "  systemctl, nft, resolvectl, shell, openvpn, charon, xl2tpd, pppd\n"
           "                                                        the programs the helper runs\n"
           "  ip                     a program that stands in for route changes (default: none,\n"
           "                         routes change in-process)\n"
           "  ikev2-authorities      the certificate authorities (PEM) IKEv2 servers are checked against\n"
           "  runtime-folder         where each tunnel run keeps its root-only files\n"
           "  system-keychain, network-preferences     the L2TP service's root-only stores\n";
}

}  // namespace corvantis::helper
