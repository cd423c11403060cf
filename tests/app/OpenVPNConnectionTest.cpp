// The OpenVPN set-up: transport and port, the profile from the backend or the built-in one, the
// file it writes and what it asks of the helper.

#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/OpenVPNConnection.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/ScopedEnvironment.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

using corvantis::ApiService;
using corvantis::City;
using corvantis::OpenVPNConnection;
using corvantis::OpenVPNPort;
using corvantis::UserSettings;
using corvantis::helper::HelperSelector;

namespace {

// A backend profile in the application's form: CRLF lines, no end after the last.
const std::string backendProfile = "client\r\nproto [proto]\r\nremote [hostname] [port]\r\nverb 3";

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::shared_ptr<City> city(const std::string& domain, const std::string& tcpPort, const std::string& udpPort) {
    auto made = std::make_shared<City>();
    made->domain = domain;
    made->openvpnTcpPort = tcpPort;
    made->openvpnUdpPort = udpPort;
    return made;
}

class OpenVPNConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        delegate->helper = std::make_shared<corvantis::CorvantisHelperController>();
        delegate->allCities = std::vector{city("nl-ams.corvantis.test", "8443", "1195")};
        corvantis::AppDelegate::setShared(delegate);
    }

    void cacheBackendProfiles(const std::string& tcp, const std::string& udp) {
        ApiService::savedTcpConfig = platform::foundation::Base64::encode(tcp);
        ApiService::savedUdpConfig = platform::foundation::Base64::encode(udp);
    }

    // Connects and returns the runOpenVPN call the helper received.
    corvantis::helper::HelperCall connect(const std::string& server, std::function<void(bool)> reply = {}) {
        OpenVPNConnection().connectUsingServerAddress(server, "user@corvantis.test", "vpn-pass", std::move(reply));
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return !openVpnCalls().empty(); }));
        const auto calls = openVpnCalls();
        return calls.empty() ? corvantis::helper::HelperCall{} : calls.front().call;
    }

    std::vector<corvantis::testing::FakeHelperConnection::Call> openVpnCalls() const {
        std::vector<corvantis::testing::FakeHelperConnection::Call> found;
        for (const auto& call : environment.helper->calls()) {
            if (call.call.selector == HelperSelector::runOpenVPN) found.push_back(call);
        }
        return found;
    }

    std::string written() const {
        const auto content = platform::foundation::FileSystem::readFile(*OpenVPNConnection::configurationPath());
        return content ? content.value() : "(none)";
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::ScopedEnvironment temporary{"TMPDIR", environment.folder.path().string()};
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
};

TEST_F(OpenVPNConnectionTest, TransportAndPortComeFromTheSettingAndTheMatchingCity) {
    struct Case {
        const char* what;
        OpenVPNPort transport;
        std::string server;
        std::string lines;
    };
    const std::vector<Case> cases{
        {"UDP, the city's own port", OpenVPNPort::UDP, "nl-ams.corvantis.test", "proto udp\r\nremote nl-ams.corvantis.test 1195"},
        {"TCP, the city's own port", OpenVPNPort::TCP, "nl-ams.corvantis.test", "proto tcp\r\nremote nl-ams.corvantis.test 8443"},
        {"TCP, no such city", OpenVPNPort::TCP, "de-fra.corvantis.test", "proto tcp\r\nremote de-fra.corvantis.test 443"},
        {"UDP, no such city", OpenVPNPort::UDP, "de-fra.corvantis.test", "proto udp\r\nremote de-fra.corvantis.test 1194"},
        {"a part of the domain in other case", OpenVPNPort::UDP, "NL-AMS", "proto udp\r\nremote NL-AMS 1195"},
    };
    cacheBackendProfiles(backendProfile, backendProfile);
    for (const auto& testCase : cases) {
        environment.helper->clear();
        UserSettings::setSavedOpenVPNPort(testCase.transport);
        connect(testCase.server);
        EXPECT_EQ(written(), "client\r\n" + testCase.lines + "\r\nverb 3\nup up.sh\ndown down.sh") << testCase.what;
    }
}

TEST_F(OpenVPNConnectionTest, TheProfileIsPrivateAndTheHelperRunsTheBundlesOpenvpnOnIt) {
    cacheBackendProfiles("client\nremote [hostname] [port] tcp", "client\nremote [hostname] [port] udp");
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::TCP);
    const auto call = connect("nl-ams.corvantis.test");
    const auto path = *OpenVPNConnection::configurationPath();
    EXPECT_EQ(path, environment.folder.path() / "OpenVPN" / "config.ovpn");
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(path.parent_path()), 0700u);
    EXPECT_EQ(written(), "client\nremote nl-ams.corvantis.test 8443 tcp\nup up.sh\ndown down.sh");
    const auto resources = platform::foundation::Bundle::main()->resourcePath();
    EXPECT_EQ(call.arguments, (nlohmann::json{(resources / "openvpn").string(), path.string(), "user@corvantis.test", "vpn-pass",
                                              resources.string()}));
}

TEST_F(OpenVPNConnectionTest, RootReadiesTheBundlesProgramFirstWithoutWaiting) {
    cacheBackendProfiles(backendProfile, backendProfile);
    connect("nl-ams.corvantis.test");
    const auto resources = platform::foundation::Bundle::main()->resourcePath().string();
    const auto commands = environment.helper->commands();
    // The build's resources folder needs no quoting; a path that does is quoted by the helper's rules.
    ASSERT_EQ(commands,
              (std::vector<std::string>{"chown -R root:wheel " + resources + "/Kexts/*",
                                        "chown root:wheel " + resources + "/openvpn", "chmod +x 755 " + resources + "/openvpn",
                                        "/sbin/kextload " + resources + "/Kexts/tun-notarized.kext"}));
    for (const auto& call : environment.helper->calls()) {
        if (call.call.selector == HelperSelector::runCommand) {
            EXPECT_FALSE(call.handler) << call.call.text(0);
        }
    }
}

TEST_F(OpenVPNConnectionTest, BackendProfilesWithLineBreaksInTheirBase64DecodeAllTheSame) {
    auto wrapped = platform::foundation::Base64::encode(backendProfile);
    for (std::size_t at = 16; at < wrapped.size(); at += 17) wrapped.insert(at, "\r\n");
    ApiService::savedTcpConfig = wrapped;
    ApiService::savedUdpConfig = wrapped;
    connect("nl-ams.corvantis.test");
    EXPECT_EQ(written(), "client\r\nproto udp\r\nremote nl-ams.corvantis.test 1195\r\nverb 3\nup up.sh\ndown down.sh");
}

TEST_F(OpenVPNConnectionTest, WhenTheBackendFailsTheBuiltInProfileIsUsed) {
    corvantis::testing::LoopbackBackend backend;
    backend->setFailureMode(corvantis::testbed::TestBackend::FailureMode::maintenance);
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::TCP);
    connect("de-fra.corvantis.test");
    const auto profile = written();
    EXPECT_TRUE(profile.starts_with("client\r\ndev tun\r\nproto tcp\r\n")) << profile;
    EXPECT_NE(profile.find("\r\nremote de-fra.corvantis.test 443\r\n"), std::string::npos);
    for (const char* block : {"<cert>", "<key>", "<tls-auth>", "<ca>"})
        EXPECT_NE(profile.find(block), std::string::npos) << block;
    EXPECT_TRUE(profile.ends_with("</ca>\nup up.sh\ndown down.sh"));
    EXPECT_EQ(profile.find('['), std::string::npos) << "every placeholder is filled";
    const auto parsed = corvantis::helper::OpenVpnProfileParser::parse(profile);
    EXPECT_TRUE(parsed) << "the helper runs it: " << (parsed ? "" : parsed.error().message);
}

TEST_F(OpenVPNConnectionTest, TheHelpersAnswerReachesTheCallerAndTheTunnelGatewayIsKept) {
    cacheBackendProfiles(backendProfile, backendProfile);
    std::vector<bool> replies;
    connect("nl-ams.corvantis.test", [&](bool connected) { replies.push_back(connected); });
    environment.helper->answer(environment.helper->calls().size() - 1,
                               corvantis::helper::HelperWireCodec::encodeTextArrayReply(
                                   std::vector<std::string>{"connected", "OpenVPN output", "10.8.0.1"}));
    environment.runMainQueue();
    EXPECT_EQ(replies, std::vector<bool>{true});
    EXPECT_EQ(delegate->openVpnGateway, "10.8.0.1");
}

TEST_F(OpenVPNConnectionTest, AHostileConfigurationOrServerValueIsRefusedBeforeAnythingIsWrittenOrSent) {
    struct Case {
        const char* what;
        std::string profile;
        std::string server;
        std::string udpPort;
    };
    const std::string hidden = "plugin /tmp/evil.so";
    const std::vector<Case> cases{
        {"a plugin after a block's closing tag",
         "client\r\nremote [hostname] [port]\r\n<ca>\r\n-----BEGIN CERTIFICATE-----\r\nMAMCAQU=\r\n-----END "
         "CERTIFICATE-----\r\n</ca>" +
             hidden,
         "nl-ams.corvantis.test", "1195"},
        {"a plugin in a line that openvpn cuts in two", backendProfile + "\r\n#" + std::string(254 - hidden.size(), 'x') + hidden,
         "nl-ams.corvantis.test", "1195"},
        {"a server name that carries a line", backendProfile, "nl-ams.corvantis.test 1195\n" + hidden, "1195"},
        {"a server name that is no host", backendProfile, "nl-ams.corvantis.test;" + hidden, "1195"},
        {"a city port that carries a line", backendProfile, "nl-ams.corvantis.test", "1195\n" + hidden},
        {"a city port out of range", backendProfile, "nl-ams.corvantis.test", "70000"},
    };
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::UDP);
    for (const auto& testCase : cases) {
        environment.helper->clear();
        delegate->allCities = std::vector{city("nl-ams.corvantis.test", "443", testCase.udpPort)};
        cacheBackendProfiles(testCase.profile, testCase.profile);
        const auto logged = environment.console->messages().size();
        std::vector<bool> replies;
        OpenVPNConnection().connectUsingServerAddress(testCase.server, "u", "p", [&](bool up) { replies.push_back(up); });
        EXPECT_TRUE(environment.runMainQueueUntil([&] { return !replies.empty(); })) << testCase.what;
        EXPECT_EQ(replies, std::vector<bool>{false}) << testCase.what;
        EXPECT_TRUE(openVpnCalls().empty()) << testCase.what;
        EXPECT_EQ(written(), "(none)") << testCase.what;
        auto console = environment.console->messages();
        console.erase(console.begin(), console.begin() + static_cast<std::ptrdiff_t>(logged));
        const auto refusal = [](const std::string& line) { return line.starts_with("The OpenVPN configuration is refused: "); };
        EXPECT_EQ(std::ranges::count_if(console, refusal), 1) << testCase.what;
        for (const auto& line : console) EXPECT_EQ(line.find("evil"), std::string::npos) << testCase.what << ": " << line;
    }
}

TEST_F(OpenVPNConnectionTest, AProfileThatCannotBeWrittenStartsNothingAndSaysSo) {
    cacheBackendProfiles(backendProfile, backendProfile);
    // A file where the private folder should be.
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(environment.folder / "OpenVPN", "", 0600));
    std::vector<bool> replies;
    OpenVPNConnection().connectUsingServerAddress("nl-ams.corvantis.test", "u", "p",
                                                  [&](bool connected) { replies.push_back(connected); });
    EXPECT_TRUE(replies.empty()) << "the answer comes later, on the main queue";
    environment.runMainQueue();
    EXPECT_EQ(replies, std::vector<bool>{false});
    EXPECT_TRUE(openVpnCalls().empty());
}

}  // namespace
