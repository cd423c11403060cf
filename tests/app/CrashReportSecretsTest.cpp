// What of a failed sign-in reaches the crash-report service when the backend's reply is broken
// or large: never a secret in any written form, and never a frozen main queue.

#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/Base64.hpp"
#include "app/CrashReportMasking.hpp"
#include "app/HeldSecrets.hpp"
#include "app/Keychain.hpp"
#include "app/LoginView.hpp"
#include "app/MainWindow.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"

#include <gtest/gtest.h>
#include <iostream>
#include <nlohmann/json.hpp>

using corvantis::AppDelegate;
using corvantis::MainWindow;
using platform::ui::Alert;
using namespace std::chrono_literals;

namespace {

// Secrets with characters that JSON, URLs and Base64 each write differently.
constexpr const char* vpnPassword = "vpn/s\u00e9cret+1=";
constexpr const char* accessToken = "acc/ess\u00e9+tok=";
constexpr const char* refreshToken = "ref/resh\u00e9+tok=";

corvantis::testbed::BackendConfiguration configuration() {
    auto made = corvantis::testbed::BackendConfiguration::demo();
    made.accounts[0].vpnPassword = vpnPassword;
    return made;
}

// Every way a report could carry `secret`: as it is, JSON-escaped (with and without \u and
// "\/"), URL-encoded and in Base64.
std::vector<std::string> writtenForms(const std::string& secret) {
    std::vector<std::string> forms{secret, corvantis::Base64::encode(secret)};
    for (const bool ascii : {false, true}) {
        const auto quoted = nlohmann::json(secret).dump(-1, ' ', ascii);
        forms.push_back(quoted.substr(1, quoted.size() - 2));
    }
    std::string slashed, encoded;
    for (const char c : forms.back()) slashed += c == '/' ? std::string("\\/") : std::string(1, c);
    for (const unsigned char c : secret) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        encoded += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    forms.push_back(slashed);
    forms.push_back(encoded);
    return forms;
}

TEST(CrashReportMasking, SecretMembersAreMaskedInTheRawTextWhateverTheyHoldAndNoCutLeavesASecretsStart) {
    const std::vector<std::pair<std::string, std::string>> bodies{
        {R"({"password":"a\"b","x":1})", R"({"password":"********","x":1})"},
        {R"({"pass\u0077ord":"s1"})", R"({"pass\u0077ord":"********"})"},  // a key written with escapes
        {R"({"access_token" : {"v":["s2"]},"n":2})", R"({"access_token" : "********","n":2})"},
        {R"({"refresh_token":"s3)", R"({"refresh_token":"********)"},  // cut short
        {R"({"password":"s4","password":"s5"} and more)", R"({"password":"********","password":"********"} and more)"},
    };
    for (const auto& [body, expected] : bodies) {
        platform::crashreporting::Event event;
        event.message = "refused: s4 s5";
        event.contexts["API request"]["response.data"] = body;
        const auto masked = corvantis::maskCredentials(std::move(event));
        EXPECT_EQ(masked.contexts["API request"]["response.data"], expected) << body;
        if (body.find("s4") != std::string::npos) {
            EXPECT_EQ(masked.message, "refused: ******** ********") << "what a member holds is masked everywhere";
        }
    }

    // A held secret that the report's bound cuts in two loses its start as well.
    corvantis::HeldSecrets::remember("held-secret-value");
    platform::crashreporting::Event event;
    event.message = std::string(corvantis::longestReportedText - 6, 'x') + "held-secret-value";
    const auto masked = corvantis::maskCredentials(std::move(event)).message;
    EXPECT_EQ(masked.find("held-"), std::string::npos);
    EXPECT_TRUE(masked.ends_with("x********\u2026 [cut from 16395 bytes]")) << masked.substr(masked.size() - 40);
}

class CrashReportSecretsTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ui::Application::shared().reset();
        Alert::forgetPendingAlerts();
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(temporary));
        delegate->logger = prq::PRQLogger::make("reports", false);
        AppDelegate::setShared(delegate);
    }

    void TearDown() override {
        Alert::forgetPendingAlerts();
        platform::ui::Application::shared().reset();
    }

    void launch() {
        ::testing::internal::CaptureStdout();
        delegate->applicationDidFinishLaunching();
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(environment.runMainQueueUntil([] { return MainWindow::shared().loginView != nullptr; }));
    }

    void signInAndFail() {
        MainWindow::shared().show();
        MainWindow::shared().loginView->txtUsername->setStringValue("");
        MainWindow::shared().loginView->txtPassword->setStringValue("");
        MainWindow::shared().loginView->txtUsername->type("demo@corvantis.test\tdemo-password\r");
        ASSERT_TRUE(environment.runMainQueueUntil([] { return !Alert::pendingAlerts().empty(); }));
        ASSERT_TRUE(Alert::pendingAlerts().front()->answer("OK"));
    }

    // The bodies that arrived at the store endpoint, each checked for every form of every secret.
    std::vector<std::string> reportsWithoutSecrets(const std::vector<std::string>& secrets) {
        EXPECT_TRUE(environment.reporter->flush(60s));
        std::vector<std::string> bodies;
        for (const auto& request : (*backend).requests()) {
            if (request.path != "/api/9/store/") continue;
            for (const auto& secret : secrets) {
                for (const auto& form : writtenForms(secret)) {
                    EXPECT_EQ(request.body.find(form), std::string::npos) << form << " in " << request.body.substr(0, 2000);
                }
            }
            bodies.push_back(request.body);
        }
        return bodies;
    }

    corvantis::testing::LoopbackBackend backend{configuration()};
    corvantis::testing::AppTestEnvironment environment;
    std::filesystem::path temporary = environment.folder / "tmp";
    corvantis::testing::ScopedEnvironment tmpdir{"TMPDIR", temporary.string()};
    corvantis::testing::ScopedEnvironment reports{"CORVANTIS_CRASH_DSN",
                                                  "http://k@127.0.0.1:" + std::to_string((*backend).port()) + "/9"};
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
};

// A refused profile, as the backend writes it, around the VPN password's member.
std::string refusedProfile() {
    auto profile = corvantis::testbed::TestBackend::profileOf(configuration().accounts[0]);
    profile.update({{"error", "access_denied"}, {"message", "Account on hold"}});
    return profile.dump();
}

// `body` with the text `member` (a whole member as JSON writes it) replaced by `replacement`.
std::string replacing(std::string body, const std::string& member, const std::string& replacement) {
    const auto at = body.find(member);
    EXPECT_NE(at, std::string::npos) << member;
    return at == std::string::npos ? body : body.replace(at, member.size(), replacement);
}

TEST_F(CrashReportSecretsTest, NoBrokenOrHidingReplyGetsASecretIntoAReportAlsoOnAStartAfterAnEarlierOne) {
    // An earlier start left the VPN password in the keychain; this run has read nothing yet.
    ASSERT_TRUE(corvantis::Keychain::setPassword(vpnPassword, "com.corvantis.password"));
    corvantis::HeldSecrets::forgetAll();
    launch();

    const auto profile = refusedProfile();
    const auto vpnMember = nlohmann::json{{"freeradius_pass", vpnPassword}}.dump();
    const auto member = vpnMember.substr(1, vpnMember.size() - 2);
    const nlohmann::json tokens{{"access_token", accessToken}, {"refresh_token", refreshToken}, {"token_type", "Bearer"}};
    const auto login = tokens.dump();
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "[";
    std::string zeros = "[0";
    for (int i = 0; i < 200000; ++i) zeros += ",0";
    zeros += "]";

    const std::vector<std::pair<std::string, std::string>> bodies{
        {"/account/api2/me", profile.substr(0, profile.find(member) + member.size() + 3)},  // cut short
        {"/account/api2/me", profile + " trailing"},
        {"/account/api2/me", replacing(profile, member, member + ",\"deep\":" + deep)},  // nesting over the limit
        {"/account/api2/me", replacing(profile, member, member + ",\"pad\":" + zeros)},  // over the memory budget
        {"/account/api2/me", replacing(profile, member, "\"freeradius_pass\":[" + nlohmann::json(vpnPassword).dump() + "]")},
        {"/account/api2/me", replacing(profile, member, member + ",\"freeradius_pass\":null")},  // duplicate key
        {"/account/oauth/token", login.substr(0, login.size() - 12)},                            // cut short
        {"/account/oauth/token", login + "}"},
        {"/account/oauth/token", replacing(login, "\"token_type\":\"Bearer\"", "\"access_token\":null,\"refresh_token\":7")},
    };
    for (const auto& [path, body] : bodies) {
        (*backend).enqueueReply(path, {403, "application/json", body});
        signInAndFail();
    }
    const auto sent = reportsWithoutSecrets({vpnPassword, accessToken, refreshToken, "demo-password"});
    EXPECT_EQ(sent.size(), bodies.size()) << "each failed sign-in is reported";
    std::size_t withReply = 0;
    for (const auto& body : sent) withReply += body.find("response.data") != std::string::npos;
    EXPECT_EQ(withReply, sent.size()) << "the reports still carry the replies, masked";
}

TEST_F(CrashReportSecretsTest, ALargeRefusedReplyIsReportedCutWhileTheMainQueueKeepsAnswering) {
    launch();
    // About 31 MiB of servers behind the refusal, which the reader takes in whole.
    std::string servers;
    const std::string server =
        R"({"serverstatus":"1","country":"FR","city":"Paris","name":"fr-par.corvantis.test","address":"10.0.0.1","serverload":"12"},)";
    while (servers.size() < (31u << 20)) servers += server;
    servers.pop_back();
    const auto body = replacing(refusedProfile(), "\"vpn_servers\":[", "\"vpn_servers\":[" + servers + ",");
    (*backend).enqueueReply("/account/api2/me", {403, "application/json", body});

    // Main-queue ticks every 10 ms; the longest gap between two is how long the queue was deaf.
    auto& mainQueue = environment.time.mainQueue();
    auto last = std::chrono::steady_clock::now();
    auto longestGap = std::chrono::steady_clock::duration::zero();
    mainQueue.setTicker(10ms, [&] {
        const auto now = std::chrono::steady_clock::now();
        longestGap = std::max(longestGap, now - last);
        last = now;
    });
    signInAndFail();
    // The report is masked and sent while the main queue goes on.
    ASSERT_TRUE(mainQueue.runUntil([&] { return !(*backend).crashEvents().empty(); }, 60s));
    mainQueue.setTicker(10ms, {});
    EXPECT_LT(longestGap, 500ms) << "the main queue was deaf for " << std::chrono::duration<double>(longestGap).count() << " s";
    std::cout << "longest main-queue gap while reporting: " << std::chrono::duration<double>(longestGap).count() << " s\n";

    const auto sent = reportsWithoutSecrets({vpnPassword});
    ASSERT_EQ(sent.size(), 1u);
    const auto event = nlohmann::json::parse(sent[0]);
    const auto data = event["contexts"]["API request"]["response.data"].get<std::string>();
    EXPECT_LE(data.size(), corvantis::longestReportedText + 40);
    EXPECT_TRUE(data.ends_with(" bytes]")) << data.substr(data.size() - 60);
}

}  // namespace
