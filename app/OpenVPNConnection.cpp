#include "app/OpenVPNConnection.hpp"

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnArgument.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "HelperService/CorvantisHelperInterface/RootCommand.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/OpenVPNFallbackProfile.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/foundation/UnicodeNormalization.hpp"
#include "platform/foundation/Utf8.hpp"

namespace corvantis {

namespace {

using platform::foundation::consoleLog;

constexpr const char* configurationName = "config.ovpn";

std::string now() {
    return platform::foundation::DateFormatter("yyyy-MM-dd HH:mm:ss").string(platform::Services::current().wallNow());
}

void logTime(const std::string& what) {
    consoleLog(what + now());
}

std::shared_ptr<CorvantisHelperController> helperClient() {
    const auto delegate = AppDelegate::shared();
    return delegate ? delegate->helper : nullptr;
}

std::filesystem::path resourcePath() {
    return platform::foundation::Bundle::main()->resourcePath();
}

void replaceAll(std::string& text, std::string_view mark, std::string_view value) {
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size())) {
        text.replace(at, mark.size(), value);
    }
}

// The port of the first city whose domain holds the server address (ignoring case and
// diacritics), for the chosen transport; none when no city matches or that city names none.
std::optional<std::string> cityPort(const std::string& serverAddress, OpenVPNPort transport) {
    const auto delegate = AppDelegate::shared();
    if (!delegate || !delegate->allCities) return std::nullopt;
    const auto wanted = platform::foundation::foldedForSearch(serverAddress);
    for (const auto& city : *delegate->allCities) {
        if (!city->domain || platform::foundation::foldedForSearch(*city->domain).find(wanted) == std::string::npos) continue;
        return transport == OpenVPNPort::TCP ? city->openvpnTcpPort : city->openvpnUdpPort;
    }
    return std::nullopt;
}

// The profile text from Base64: the backend's when it decodes to UTF-8 text, else the
// fallback's.
std::string profileText(const std::optional<std::string>& base64) {
    if (base64) {
        auto decoded = platform::foundation::Base64::decodeIgnoringUnknownCharacters(*base64);
        if (decoded && platform::foundation::isValidUtf8(*decoded)) return std::move(*decoded);
        consoleLog("The backend's OpenVPN configuration is not Base64 of a text; using the built-in one");
    }
    return platform::foundation::Base64::decodeIgnoringUnknownCharacters(openVpnFallbackProfile()).value_or("");
}

// Why the profile must not be written, if it must not: a server address, port or transport that
// is not of its kind, or a profile the helper would refuse. The backend's text is the profile's
// bulk, so it is read exactly as the helper reads it before anything reaches the helper.
std::optional<std::string> refusalOf(const std::string& address, const std::string& port, const std::string& proto,
                                     const std::string& config) {
    using helper::OpenVpnArgument;
    if (!OpenVpnArgument::host().canonical(address)) return "the server's address is not a host name or IPv4 address";
    if (!OpenVpnArgument::port().canonical(port)) return "the server's port is not a port";
    if (!OpenVpnArgument::transport().canonical(proto)) return "the transport is not a client transport";
    if (auto parsed = helper::OpenVpnProfileParser::parse(config); !parsed) return parsed.error().message;
    return std::nullopt;
}

}  // namespace

int OpenVPNConnection::initialize() {
    const auto helper = helperClient();
    if (!helper) return 0;
    const auto resources = resourcePath();
    const auto openvpnPath = resources / "openvpn";
    const auto kexts = resources / "Kexts";
    const auto send = [&](const helper::RootCommand& command) { helper->runCommand(helper::commandLine(command), {}); };
    send(helper::OwnTunnelDrivers{kexts});
    send(helper::OwnOpenVpnProgram{openvpnPath});
    send(helper::MakeOpenVpnExecutable{openvpnPath});
    send(helper::LoadTunnelDriver{kexts / "tun-notarized.kext"});
    return 0;
}

void OpenVPNConnection::connectUsingServerAddress(const std::optional<std::string>& serverAddress,
                                                  const std::optional<std::string>& username,
                                                  const std::optional<std::string>& password, std::function<void(bool)> reply) {
    logTime("OpenVPN Connection: ");
    initialize();
    logTime("OpenVPN Connection: ");
    const auto transport = UserSettings::savedOpenVPNPort();
    const std::string proto = transport == OpenVPNPort::TCP ? "tcp" : "udp";
    std::string port = transport == OpenVPNPort::TCP ? "443" : "1194";
    const std::string address = serverAddress.value_or("");
    const auto ownPort = cityPort(address, transport);
    logTime("OpenVPN Connection: ");
    if (ownPort) port = *ownPort;

    ApiService::getOpenVpnConfigs([username, password, reply = std::move(reply), transport, proto, port, address](
                                      bool success, const std::string&, const std::optional<std::string>& tcpConfig,
                                      const std::optional<std::string>& udpConfig) {
        logTime("getOpenVpnConfigsWithResult response: ");
        const auto& chosen = transport == OpenVPNPort::TCP ? tcpConfig : udpConfig;
        auto config = profileText(success ? chosen : std::nullopt);
        replaceAll(config, "[port]", port);
        replaceAll(config, "[proto]", proto);
        replaceAll(config, "[hostname]", address);
        config += "\nup up.sh\ndown down.sh";
        if (const auto refusal = refusalOf(address, port, proto, config)) {
            consoleLog("The OpenVPN configuration is refused: " + *refusal);
            if (reply) reply(false);
            return;
        }
        OpenVPNConnection().saveConfigAndStart(config, username, password, [reply](bool connected) {
            logTime("saveConfigAndStart response: ");
            if (reply) reply(connected);
        });
    });
}

void OpenVPNConnection::saveConfigAndStart(const std::string& config, const std::optional<std::string>& username,
                                           const std::optional<std::string>& password, std::function<void(bool)> reply) {
    // Nothing started: the answer is a failure, later on the main queue like the helper's.
    const auto notStarted = [&reply] {
        platform::dispatch::DispatchQueue::main()->async([reply = std::move(reply)] {
            if (reply) reply(false);
        });
    };
    const auto path = configurationPath();
    if (!path) return notStarted();
    if (auto written = platform::foundation::FileSystem::writeFileAtomically(*path, config, 0600); !written) {
        consoleLog("The OpenVPN configuration could not be written: " + written.error().message);
        return notStarted();
    }
    const auto helper = helperClient();
    if (!helper) return notStarted();
    const auto resources = resourcePath();
    helper->runOpenVPN((resources / "openvpn").string(), path->string(), username, password, resources.string(),
                       std::move(reply));
}

std::optional<std::filesystem::path> OpenVPNConnection::configurationPath() {
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        consoleLog("No private folder for the OpenVPN configuration: " + temporary.error().message);
        return std::nullopt;
    }
    const auto folder = temporary.value() / "OpenVPN";
    // The helper reads the profile only from a folder closed to everyone but its owner.
    if (auto made = platform::foundation::FileSystem::createDirectories(folder, 0700); !made) {
        consoleLog("No private folder for the OpenVPN configuration: " + made.error().message);
        return std::nullopt;
    }
    std::error_code error;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    if (error) {
        consoleLog("The OpenVPN configuration's folder cannot be made private: " + error.message());
        return std::nullopt;
    }
    return folder / configurationName;
}

}  // namespace corvantis
