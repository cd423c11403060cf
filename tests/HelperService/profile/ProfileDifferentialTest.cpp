// For every profile the profile reader accepts (the smuggling shapes', the fuzz corpus's, the
// application's built-in one and the testbed's), the real openvpn, started by the helper on the
// helper's rendering, shows in its own parameter dump ("Current Parameter Settings", at --verb 4)
// only settings of the directives the profile gave, and no script, plugin, log or management
// setting beyond the bundle's up and down scripts. The whole binary runs inside scripts/sandbox,
// where openvpn finds no network to reach: it prints its settings, tries once and ends.

#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "app/OpenVPNFallbackProfile.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "support/HelperFixture.hpp"
#include "support/ProfileShapes.hpp"
#include "testbed/backend/BackendConfiguration.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <gtest/gtest.h>

#include <future>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

namespace FileSystem = platform::foundation::FileSystem;
using Settings = std::map<std::string, std::set<std::string>>;

// The dump's settings, each with the values it was shown with (a second connection entry shows
// its own); those of a connection entry are named "connection.<name>". The run's own folder,
// which differs from run to run, reads "<run>". None when openvpn printed no dump.
std::optional<Settings> parameterDump(const std::string& output) {
    static const std::regex logged(R"(^\S+ \S+ us=\d+ (.*)$)");
    static const std::regex setting(R"(^\s+(\S+) = (.*)$)");
    Settings settings;
    bool inside = false;
    bool inConnection = false;
    std::string runFolder;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, logged)) continue;
        const std::string body = match[1];
        if (body == "Current Parameter Settings:") {
            inside = true;
            continue;
        }
        if (!inside) continue;
        if (body.starts_with("OpenVPN 2.")) break;
        if (body.starts_with("Connection profiles [")) inConnection = true;
        if (body.starts_with("Connection profiles END")) inConnection = false;
        if (!std::regex_match(body, match, setting)) continue;
        const std::string name = (inConnection ? "connection." : "") + match[1].str();
        std::string value = match[2];
        if (name == "config") {
            runFolder = value.substr(1, value.rfind('/') - 1);
            continue;
        }
        if (!runFolder.empty()) {
            for (auto at = value.find(runFolder); at != std::string::npos; at = value.find(runFolder)) {
                value.replace(at, runFolder.size(), "<run>");
            }
        }
        settings[name].insert(value);
    }
    if (!inside) return std::nullopt;
    return settings;
}

// The settings each directive and block may change, as openvpn 2.6 names them in its dump.
// Directives that change nothing shown (client, pull, nobind, redirect-gateway, ...) have none.
const std::map<std::string, std::set<std::string>> settingsOf{
    {"remote", {"connection.remote", "connection.remote_port", "connection.proto"}},
    {"proto", {"connection.proto"}},
    {"persist-key", {"persist_key"}},
    {"persist-tun", {"persist_tun"}},
    {"fast-io", {"fast_io"}},
    {"remote-random", {"remote_random"}},
    {"mute-replay-warnings", {"mute_replay_warnings"}},
    {"connect-retry", {"connection.connect_retry_seconds"}},
    {"connect-timeout", {"connection.connect_timeout"}},
    {"server-poll-timeout", {"connection.connect_timeout"}},
    {"key-direction", {"connection.key_direction", "key_direction"}},
    {"remote-cert-tls", {"remote_cert_eku", "remote_cert_ku[i]"}},
    {"verify-x509-name", {"verify_x509_name", "verify_x509_type"}},
    {"cipher", {"ciphername"}},
    {"data-ciphers", {"ncp_ciphers"}},
    {"data-ciphers-fallback", {"ciphername"}},
    {"auth", {"authname"}},
    {"comp-lzo", {"comp.alg", "comp.flags"}},
    {"compress", {"comp.alg", "comp.flags"}},
    {"allow-compression", {"comp.flags"}},
    {"route-delay", {"route_delay", "route_delay_defined", "route_delay_window"}},
    {"sndbuf", {"sndbuf"}},
    {"rcvbuf", {"rcvbuf"}},
    {"tun-mtu", {"connection.tun_mtu", "connection.mssfix", "connection.mssfix_fixed"}},
    {"mssfix", {"connection.mssfix", "connection.mssfix_encap"}},
    {"ping", {"ping_send_timeout"}},
    {"ping-restart", {"ping_rec_timeout", "ping_rec_timeout_action"}},
    {"keepalive", {"keepalive_ping", "keepalive_timeout", "ping_send_timeout", "ping_rec_timeout", "ping_rec_timeout_action"}},
    {"reneg-sec", {"renegotiate_seconds"}},
    {"explicit-exit-notify", {"connection.explicit_exit_notification"}},
    {"up", {"up_script"}},
    {"down", {"down_script"}},
    {"ca", {"ca_file"}},
    {"cert", {"cert_file"}},
    {"key", {"priv_key_file"}},
    {"tls-auth", {"connection.tls_auth_file"}},
    {"tls-crypt", {"connection.tls_crypt_file"}},
};

// Settings that run programs, load code, write or name files, or open a way in: never other than
// openvpn's own default, but for the bundle's two scripts.
const std::vector<std::string> dangerousSettings{"route_script",
                                                 "ipchange",
                                                 "tls_verify",
                                                 "learn_address_script",
                                                 "client_connect_script",
                                                 "client_disconnect_script",
                                                 "client_crresponse_script",
                                                 "auth_user_pass_verify_script",
                                                 "log",
                                                 "status_file",
                                                 "writepid",
                                                 "management_addr",
                                                 "management_port",
                                                 "management_user_pass",
                                                 "management_client_user",
                                                 "chroot_dir",
                                                 "cd_dir",
                                                 "username",
                                                 "groupname",
                                                 "daemon",
                                                 "tmp_dir",
                                                 "key_pass_file",
                                                 "dev_node",
                                                 "ca_path",
                                                 "crl_file",
                                                 "pkcs12_file",
                                                 "extra_certs_file",
                                                 "tls_export_peer_cert_dir",
                                                 "packet_id_file",
                                                 "up_script",
                                                 "down_script"};
const Settings bundleScripts{{"up_script", {"'up.sh'"}}, {"down_script", {"'down.sh'"}}};

// What in `dump` differs from `baseline` without the profile's records allowing it.
std::vector<std::string> unexplainedSettings(const Settings& dump, const Settings& baseline,
                                             const corvantis::helper::OpenVpnProfile& records) {
    std::set<std::string> allowed;
    const auto allow = [&](const std::string& name) {
        if (const auto found = settingsOf.find(name); found != settingsOf.end())
            allowed.insert(found->second.begin(), found->second.end());
    };
    for (const auto& directive : records.directives) allow(directive.name);
    for (const auto& block : records.blocks) allow(block.tag);
    std::set<std::string> names;
    for (const auto& [name, values] : dump) names.insert(name);
    for (const auto& [name, values] : baseline) names.insert(name);
    std::vector<std::string> unexplained;
    for (const auto& name : names) {
        const auto shown = dump.contains(name) ? dump.at(name) : std::set<std::string>{};
        const auto usual = baseline.contains(name) ? baseline.at(name) : std::set<std::string>{};
        if (shown == usual) continue;
        const bool dangerous = std::find(dangerousSettings.begin(), dangerousSettings.end(), name) != dangerousSettings.end() ||
                               name.find("plugin") != std::string::npos;
        const bool bundleScript = bundleScripts.contains(name) && shown == bundleScripts.at(name);
        if ((dangerous && !bundleScript) || !allowed.contains(name)) unexplained.push_back(name + " = " + *shown.begin());
    }
    return unexplained;
}

struct Profile {
    std::string what;
    std::string text;
};

std::string fromFile(const std::filesystem::path& path) {
    auto content = FileSystem::readFile(path);
    return content ? content.value() : "";
}

void fill(std::string& text, const std::string& mark, const std::string& value) {
    for (auto at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
        text.replace(at, mark.size(), value);
}

// The placeholders filled and the scripts appended, as the application does.
std::string asTheApplicationWritesIt(std::string profile) {
    fill(profile, "[proto]", "udp");
    fill(profile, "[hostname]", "nl-ams.corvantis.test");
    fill(profile, "[port]", "1194");
    return profile + "\nup up.sh\ndown down.sh";
}

std::vector<Profile> acceptedProfiles() {
    std::vector<Profile> profiles;
    for (const auto& shape : corvantis::testing::smugglingShapes()) {
        if (shape.accepted) profiles.push_back({"shape: " + shape.what, shape.text});
    }
    for (const auto& entry : std::filesystem::directory_iterator(CORVANTIS_PROFILE_FUZZ_CORPUS)) {
        profiles.push_back({"corpus: " + entry.path().filename().string(), fromFile(entry.path())});
    }
    const auto fallback = platform::foundation::Base64::decodeIgnoringUnknownCharacters(corvantis::openVpnFallbackProfile());
    profiles.push_back({"the built-in profile", asTheApplicationWritesIt(fallback.value_or(""))});
    // The testbed's profile, with well-formed stand-ins for its key material.
    auto testbed = fromFile(CORVANTIS_TESTBED_CLIENT_PROFILE);
    const auto certificate = corvantis::testing::pemObject("CERTIFICATE");
    fill(testbed, "[client certificate]", certificate);
    fill(testbed, "[client key]", corvantis::testing::pemObject("PRIVATE KEY"));
    fill(testbed, "[tls-auth key]", corvantis::testing::staticKey());
    fill(testbed, "[ca certificate]", certificate);
    fill(testbed, "\n", "\r\n");
    profiles.push_back({"the testbed's OpenVPN profile", asTheApplicationWritesIt(testbed)});
    const auto backend = corvantis::testbed::BackendConfiguration::demo();
    profiles.push_back({"the test backend's TCP configuration", asTheApplicationWritesIt(backend.tcpConfig)});
    profiles.push_back({"the test backend's UDP configuration", asTheApplicationWritesIt(backend.udpConfig)});
    std::erase_if(profiles, [](const Profile& profile) { return !corvantis::helper::OpenVpnProfileParser::parse(profile.text); });
    return profiles;
}

class ProfileDifferential : public ::testing::Test {
protected:
    void SetUp() override {
        if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "runs openvpn as root: only through scripts/sandbox";
        if (::access("/usr/sbin/openvpn", X_OK) != 0) GTEST_SKIP() << "openvpn is not installed";
        // Settings that keep openvpn from stopping before its dump (a device, a CA, which a
        // profile's own replace) or from waiting after it.
        fixture.write(placeholderCa, "a CA file for openvpn's checks; it is never loaded\n", 0600);
        fixture.write(dumpingOpenvpn,
                      "#!/bin/sh\nexec /usr/sbin/openvpn --dev tun --ca " + placeholderCa.string() +
                          " \"$@\" --verb 4 --connect-retry-max 1 --resolv-retry 0\n",
                      0755);
        fixture.configuration.tools.openvpn = dumpingOpenvpn;
        fixture.rebuild();
    }

    // What openvpn printed when the helper ran it on its rendering of `text`, known once the run
    // is over: the helper lets go of a run's reply channel only after the run has stopped
    // counting against its bound, so no more than that many runs go at once here.
    std::shared_future<std::string> runThroughTheHelper(const std::string& text, std::size_t index) {
        constexpr auto bound = corvantis::helper::OpenVpnRunner::maximumRuns;
        if (started.size() >= bound) started[started.size() - bound].wait();
        // As the application writes it: in a folder of the user's own, closed to everyone else.
        const auto profile = fixture.folder / ("profile-" + std::to_string(index)) / "config.ovpn";
        fixture.write(profile, text, 0600);
        std::filesystem::permissions(profile.parent_path(), std::filesystem::perms::owner_all);
        struct Run {
            std::once_flag once;
            std::string output;
            std::promise<std::string> over;
            ~Run() { over.set_value(output); }
        };
        auto run = std::make_shared<Run>();
        started.push_back(run->over.get_future().share());
        fixture.helper->runOpenVPN("/usr/sbin/openvpn", profile.string(), "user", "password", fixture.bundle.string(),
                                   [run](std::optional<std::vector<std::string>> reply) {
                                       if (!reply || reply->at(0) != "ended") return;
                                       std::call_once(run->once, [&] { run->output = reply->at(1); });
                                   });
        return started.back();
    }

    corvantis::testing::HelperFixture fixture;
    platform::ScopedServices realLauncher{platform::Services{}};
    std::filesystem::path placeholderCa = fixture.folder / "placeholder-ca.pem";
    std::filesystem::path dumpingOpenvpn = fixture.folder / "dumping-openvpn";
    std::vector<std::shared_future<std::string>> started;
};

TEST_F(ProfileDifferential, OpenvpnActsOnlyOnTheAllowedDirectivesOfEveryAcceptedProfile) {
    const auto minimal = corvantis::helper::OpenVpnProfileParser::parse("client\nremote 198.51.100.1 1194\n");
    ASSERT_TRUE(minimal);
    auto baselineRun = runThroughTheHelper(minimal.value().render(), 0);
    const auto profiles = acceptedProfiles();
    ASSERT_GE(profiles.size(), 12u) << "the shapes, the corpus, the built-in and the testbed's profiles";
    std::vector<std::shared_future<std::string>> runs;
    for (std::size_t index = 0; index < profiles.size(); ++index)
        runs.push_back(runThroughTheHelper(profiles[index].text, index + 1));

    const auto baseline = parameterDump(baselineRun.get());
    ASSERT_TRUE(baseline) << "openvpn printed no parameter dump for the smallest profile";
    ASSERT_GT(baseline->size(), 100u);
    for (std::size_t index = 0; index < profiles.size(); ++index) {
        const auto output = runs[index].get();
        const auto dump = parameterDump(output);
        ASSERT_TRUE(dump) << profiles[index].what << ": openvpn printed no parameter dump:\n" << output;
        const auto records = corvantis::helper::OpenVpnProfileParser::parse(profiles[index].text).value();
        EXPECT_EQ(unexplainedSettings(*dump, *baseline, records), std::vector<std::string>{}) << profiles[index].what;
        // Nothing but the one directive the helper's command line tells openvpn to ignore.
        std::istringstream lines(output);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("Unrecognized option") != std::string::npos) {
                EXPECT_NE(line.find(": keysize ("), std::string::npos) << profiles[index].what << ": " << line;
            }
        }
    }
}

// The comparison itself must see what a smuggled directive would do: openvpn run straight on a
// text of its own, past the helper, shows the settings the helper keeps out.
TEST_F(ProfileDifferential, TheComparisonSeesScriptsManagementAndLogsThatReachOpenvpn) {
    const auto minimal = corvantis::helper::OpenVpnProfileParser::parse("client\nremote 198.51.100.1 1194\n").value();
    const auto baseline = parameterDump(runThroughTheHelper(minimal.render(), 0).get());
    ASSERT_TRUE(baseline);
    // Laid out like a run's folder, so that the dumps name their files alike.
    const auto run = fixture.folder / "smuggled";
    fixture.write(run / "config.ovpn", minimal.render() + "management 127.0.0.1 7505\nroute-up /bin/true\nup /bin/true\n", 0600);
    fixture.write(run / "credentials", "user\npassword\n", 0600);
    const auto ran = platform::foundation::runToEnd(*platform::foundation::PosixProcessLauncher::shared(),
                                                    {dumpingOpenvpn,
                                                     {"--config", (run / "config.ovpn").string(), "--script-security", "2",
                                                      "--auth-user-pass", (run / "credentials").string()},
                                                     {}});
    ASSERT_TRUE(ran) << ran.error().message;
    const auto dump = parameterDump(ran.value().standardOutput);
    ASSERT_TRUE(dump) << ran.value().standardOutput;
    EXPECT_EQ(unexplainedSettings(*dump, *baseline, minimal),
              (std::vector<std::string>{"management_addr = '127.0.0.1'", "management_port = '7505'", "route_script = '/bin/true'",
                                        "up_script = '/bin/true'"}));
}

}  // namespace
