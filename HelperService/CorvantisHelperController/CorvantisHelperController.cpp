#include "HelperService/CorvantisHelperController/CorvantisHelperController.hpp"

#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "app/AppDelegate.hpp"
#include "app/JsonValue.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/EmbeddedInfoDictionary.hpp"
#include "platform/security/Authorization.hpp"
#include "platform/servicemanagement/ServiceManager.hpp"
#include "platform/xpc/XpcConnector.hpp"

#include <algorithm>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <unistd.h>

using namespace std::chrono_literals;

namespace corvantis {

namespace {

using helper::HelperCall;
using helper::HelperWireCodec::decodeCodeReply;
using helper::HelperWireCodec::decodeTextArrayReply;
using helper::HelperWireCodec::decodeTextReply;
using platform::Services;
using platform::foundation::consoleLog;
using platform::foundation::DomainError;

constexpr const char* noResponse = "No response from helper tool!";
constexpr const char* blessRight = "com.apple.ServiceManagement.blesshelper";
constexpr long removingFailed = 10;
constexpr long installingFailed = 11;

// A call without a reply, written to the helper before this returns.
void send(const HelperCall& call) {
    if (auto sent = Services::current().xpcConnector()->send(helper::kHelperToolName, helper::HelperWireCodec::encodeCall(call));
        !sent) {
        consoleLog(sent.error().message);
    }
}

// A call with a reply: the helper's first reply goes to `handle` on the main queue. When the
// connection ends without one, or none can be made, `unanswered` runs there instead (when given).
void sendWithReply(const HelperCall& call, std::function<void(const nlohmann::json&)> handle,
                   std::function<void()> unanswered = {}) {
    const auto mainQueue = Services::current().mainQueue();
    auto sent = Services::current().xpcConnector()->sendWithReply(
        helper::kHelperToolName, helper::HelperWireCodec::encodeCall(call),
        [mainQueue, handle = std::move(handle), unanswered](std::optional<nlohmann::json> reply) {
            mainQueue->async([handle, unanswered, reply = std::move(reply)] {
                if (!reply) {
                    consoleLog(noResponse);
                    if (unanswered) unanswered();
                    return;
                }
                handle(*reply);
            });
        });
    if (!sent) {
        consoleLog(sent.error().message);
        mainQueue->async([unanswered] {
            consoleLog(noResponse);
            if (unanswered) unanswered();
        });
    }
}

// Sends a text call, or the call alone when there is no one to reply to.
void sendTextCall(const HelperCall& call, CorvantisHelperController::TextReply reply) {
    if (!reply) {
        send(call);
        return;
    }
    sendWithReply(call, [reply = std::move(reply)](const nlohmann::json& message) {
        auto text = decodeTextReply(message);
        if (!text) {
            consoleLog(noResponse);
            return;
        }
        reply(std::move(text.value()));
    });
}

// A call whose reply is a code.
void sendCodeCall(const HelperCall& call, std::function<void(int)> reply) {
    sendWithReply(call, [reply = std::move(reply)](const nlohmann::json& message) {
        const auto code = decodeCodeReply(message);
        if (!code) {
            consoleLog(noResponse);
            return;
        }
        reply(code.value());
    });
}

void sendResolverCheck() {
    consoleLog("Checking resolv.conf...");
    send(HelperCall::restoreResolvConf());
}

// "CFBundleVersion" of the information embedded in a helper executable, read as an integer;
// none when the executable carries no version.
std::optional<long long> helperVersion(const std::filesystem::path& executable) {
    const auto info = platform::foundation::embeddedInfoDictionary(executable);
    if (!info) return std::nullopt;
    const auto* version = JsonValue::member(*info, "CFBundleVersion");
    if (version == nullptr) return std::nullopt;
    return JsonValue::integerValue(*version);
}

bool servesThisUser(const nlohmann::json& job) {
    const uid_t user = ::getuid();
    const auto* users = JsonValue::member(job, std::string(platform::servicemanagement::jobAllowedUsersKey));
    if (users == nullptr || !users->is_array()) return false;
    return std::ranges::any_of(*users, [user](const nlohmann::json& listed) {
        return listed.is_number_unsigned() && listed.get<std::uint64_t>() == user;
    });
}

DomainError installError(long code, const char* description, const DomainError& underlying) {
    return DomainError{platform::foundation::NSOSStatusErrorDomain, code, description, underlying.localizedDescription,
                       "Try to relaunch the app or contact the administrator"};
}

}  // namespace

bool CorvantisHelperController::installPrivilegedHelperTool(DomainError* error) {
    const std::string label(helper::kHelperToolName);
    const auto manager = Services::current().serviceManager();
    const auto job = manager->copyJobDictionary(platform::servicemanagement::kSMDomainSystemLaunchd, label);
    authRef_ = platform::security::Authorization::create();
    if (job) {
        const auto* arguments = JsonValue::member(*job, "ProgramArguments");
        const auto installedPath =
            arguments != nullptr && arguments->is_array() && !arguments->empty() && arguments->front().is_string()
                ? arguments->front().get<std::string>()
                : std::string();
        const auto installed = helperVersion(installedPath);
        consoleLog("Helper tool is installed.\nCurrent helper tool version: " + std::to_string(installed.value_or(0)));
        const auto bundled = helperVersion(platform::foundation::Bundle::main()->bundlePath() /
                                           platform::servicemanagement::helperFolderInBundle / label);
        // A version that cannot be read never counts as the same: the helper is installed anew.
        if (installed && bundled && *installed == *bundled) {
            if (servesThisUser(*job)) return true;
            // Installed for another user, it would refuse every call of this one.
            consoleLog("The installed helper does not serve user " + std::to_string(::getuid()) + " yet: adding the user");
            DomainError allowError;
            if (allowHelperUserWithLabel(label, &allowError)) return true;
            if (error != nullptr) *error = installError(installingFailed, "Helper tool installing failed", allowError);
            return false;
        }
        DomainError removeError;
        DomainError blessError;
        if (replaceHelperWithLabel(label, &removeError, &blessError)) return true;
        if (error != nullptr) {
            *error = removeError.domain.empty() ? installError(installingFailed, "Helper tool installing failed", blessError)
                                                : installError(removingFailed, "Helper tool removing failed", removeError);
        }
        return false;
    }
    DomainError blessError;
    if (!blessHelperWithLabel(label, &blessError)) {
        if (error != nullptr) *error = installError(installingFailed, "Helper tool installing failed", blessError);
        return false;
    }
    return true;
}

bool CorvantisHelperController::obtainRight(DomainError* error) {
    if (!authRef_) authRef_ = platform::security::Authorization::create();
    using namespace platform::security;
    const auto status = authRef_->copyRights(
        {blessRight}, kAuthorizationFlagInteractionAllowed | kAuthorizationFlagExtendRights | kAuthorizationFlagPreAuthorize);
    if (status == errAuthorizationSuccess) return true;
    if (error != nullptr) *error = authRef_->errorFor(status);
    return false;
}

bool CorvantisHelperController::removeHelperWithLabel(std::string_view label, DomainError* error) {
    if (!obtainRight(error)) return false;
    return Services::current().serviceManager()->removeJob(platform::servicemanagement::kSMDomainSystemLaunchd, label, *authRef_,
                                                           error);
}

bool CorvantisHelperController::blessHelperWithLabel(std::string_view label, DomainError* error) {
    if (!obtainRight(error)) return false;
    return Services::current().serviceManager()->blessJob(platform::servicemanagement::kSMDomainSystemLaunchd, label, *authRef_,
                                                          error);
}

bool CorvantisHelperController::replaceHelperWithLabel(std::string_view label, DomainError* removeError,
                                                       DomainError* blessError) {
    if (!obtainRight(removeError)) return false;
    return Services::current().serviceManager()->replaceJob(platform::servicemanagement::kSMDomainSystemLaunchd, label, *authRef_,
                                                            removeError, blessError);
}

bool CorvantisHelperController::allowHelperUserWithLabel(std::string_view label, DomainError* error) {
    if (!obtainRight(error)) return false;
    return Services::current().serviceManager()->allowJobUser(platform::servicemanagement::kSMDomainSystemLaunchd, label,
                                                              *authRef_, error);
}

void CorvantisHelperController::connectToIKEv2Server(const helper::IKEv2TunnelSettings& settings, const std::string& password,
                                                     std::function<void(int)> reply) {
    const auto call = HelperCall::connectToIKEv2Server(settings, password, static_cast<bool>(reply));
    if (!reply) {
        send(call);
        return;
    }
    sendCodeCall(call, std::move(reply));
}

void CorvantisHelperController::disconnectIKEv2() {
    send(HelperCall::disconnectIKEv2());
}

void CorvantisHelperController::connectToL2TPServerWithAddress(const std::optional<std::string>& address,
                                                               const std::optional<std::string>& username,
                                                               const std::optional<std::string>& password,
                                                               const std::optional<std::string>& sharedSecret,
                                                               std::function<void(int)> reply) {
    const auto call = HelperCall::connectToL2TPServer(address, username, password, sharedSecret, static_cast<bool>(reply));
    if (!reply) {
        send(call);
        return;
    }
    sendCodeCall(call, std::move(reply));
}

void CorvantisHelperController::runOpenVPN(const std::string& path, const std::string& config,
                                           const std::optional<std::string>& userName, const std::optional<std::string>& password,
                                           const std::string& workingDirectory, std::function<void(bool)> reply) {
    // A start that the helper leaves unanswered has failed: nothing else would end the wait.
    const auto failed = [reply] {
        if (reply) reply(false);
    };
    sendWithReply(
        HelperCall::runOpenVPN(path, config, userName, password, workingDirectory, true),
        [reply, failed](const nlohmann::json& message) {
            const auto texts = decodeTextArrayReply(message);
            if (!texts || !texts.value()) {
                consoleLog(noResponse);
                return failed();
            }
            const auto& array = *texts.value();
            if (array.size() > 1) consoleLog(array[1]);
            const bool connected = !array.empty() && array[0] == "connected";
            // The gateway is this reply's tunnel's: a reply that names none leaves none, never an
            // older tunnel's.
            if (const auto delegate = AppDelegate::shared(); delegate && connected) {
                delegate->openVpnGateway = array.size() > 2 ? std::optional(array[2]) : std::nullopt;
            }
            if (reply) reply(connected);
        },
        failed);
}

void CorvantisHelperController::runCommand(const std::string& command, TextReply reply) {
    // The call is made before the reply moves on: argument order is unspecified.
    const auto call = HelperCall::runCommand(command, static_cast<bool>(reply));
    sendTextCall(call, std::move(reply));
}

void CorvantisHelperController::toggleIpv6(bool enable, TextReply reply) {
    const auto call = HelperCall::toggleIpv6(enable, static_cast<bool>(reply));
    sendTextCall(call, std::move(reply));
}

void CorvantisHelperController::checkResolvConf() {
    sendResolverCheck();
}

void CorvantisHelperController::backupResolvConf() {
    consoleLog("Backing up resolv.conf...");
    send(HelperCall::backupResolvConf());
}

void CorvantisHelperController::terminateAllVpnConnections() {
    consoleLog("Terminating VPN connection");
    send(HelperCall::disconnect());
    Services::current().mainQueue()->asyncAfter(3s, [] { sendResolverCheck(); });
}

}  // namespace corvantis
