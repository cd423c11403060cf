#include "HelperService/CorvantisHelper/CharonL2TPIpsec.hpp"

#include "platform/network/ViciSession.hpp"

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::network::ViciMessage;
using platform::network::ViciSession;
using State = L2TPLinkState::Ipsec;
using namespace std::chrono_literals;

namespace {

constexpr const char* sharedSecretId = "l2tp-psk";
constexpr const char* l2tpSelector = "dynamic[udp/1701]";

}  // namespace

ViciMessage CharonL2TPIpsec::connection(const std::string& server, bool userSpaceEsp) {
    auto child = ViciMessage()
                     .add("mode", userSpaceEsp ? "tunnel" : "transport")
                     .addList("local_ts", {l2tpSelector})
                     .addList("remote_ts", {l2tpSelector})
                     .addList("esp_proposals", {"aes256-sha1", "aes128-sha1", "3des-sha1"})
                     .add("start_action", "none")
                     .add("close_action", "none");
    return ViciMessage()
        .add("version", "1")
        .addList("remote_addrs", {server})
        .addList("proposals", {"aes256-sha256-modp2048", "aes256-sha1-modp2048", "aes128-sha1-modp2048", "aes256-sha1-modp1024",
                               "aes128-sha1-modp1024", "3des-sha1-modp1024"})
        .add("encap", userSpaceEsp ? "yes" : "no")
        .add("keyingtries", "1")
        .addSection("local", ViciMessage().add("auth", "psk"))
        .addSection("remote", ViciMessage().add("auth", "psk"))
        .addSection("children", ViciMessage().addSection("l2tp", std::move(child)));
}

CharonL2TPIpsec::CharonL2TPIpsec(Options options, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                                 std::shared_ptr<HelperLog> log)
    : options_(std::move(options)), launcher_(std::move(launcher)), log_(std::move(log)) {}

std::shared_ptr<CharonDaemon> CharonL2TPIpsec::daemonFor(const std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto found = daemons_.find(name);
    return found == daemons_.end() ? nullptr : found->second;
}

Expected<void> CharonL2TPIpsec::bringUp(const Connection& connection) {
    (void)bringDown(connection.name);
    auto started = CharonDaemon::start(launcher_, options_.runtimeFolder, options_.charon, log_);
    if (!started) return started.error();
    std::shared_ptr<CharonDaemon> daemon = std::move(started.value());
    auto session = ViciSession::connect(daemon->viciSocket());
    if (!session) return session.error();
    auto& vici = *session.value();
    if (auto secret = vici.loadShared(sharedSecretId, "IKE", connection.sharedSecret, {}); !secret) return secret.error();
    if (auto loaded =
            vici.loadConn(connection.name, CharonL2TPIpsec::connection(connection.server, options_.charon.userSpaceEsp));
        !loaded) {
        return loaded.error();
    }
    {
        std::lock_guard lock(mutex_);
        daemons_[connection.name] = daemon;
    }
    // Charon goes on with the attempt after this wait; the SA list tells how it went.
    (void)vici.initiate("l2tp", connection.name, options_.initiateWait);
    return {};
}

State CharonL2TPIpsec::state(const std::string& name) {
    const auto daemon = daemonFor(name);
    if (!daemon) return State::down;
    auto session = ViciSession::connect(daemon->viciSocket(), 1s);
    if (!session) return State::down;
    auto sas = session.value()->listSas(ViciMessage().add("ike", name));
    if (!sas) return State::connecting;
    for (const auto& listed : sas.value()) {
        const auto* sa = listed.section(name);
        if (sa == nullptr) continue;
        const auto* children = sa->section("child-sas");
        if (children != nullptr) {
            for (const auto& child : children->entries()) {
                if (child.kind != ViciMessage::Kind::section) continue;
                const auto* childState = child.section->value("state");
                if (childState != nullptr && *childState == "INSTALLED") return State::up;
            }
        }
        const auto* ikeState = sa->value("state");
        const bool ending = ikeState != nullptr && (*ikeState == "DELETING" || *ikeState == "DESTROYING");
        return ending ? State::down : State::connecting;
    }
    // No SA any more: the attempt failed, or the SA went.
    return State::down;
}

Expected<void> CharonL2TPIpsec::bringDown(const std::string& name) {
    std::shared_ptr<CharonDaemon> daemon;
    {
        std::lock_guard lock(mutex_);
        const auto found = daemons_.find(name);
        if (found == daemons_.end()) return {};
        daemon = std::move(found->second);
        daemons_.erase(found);
    }
    // Ending the SA tells the server; the daemon stops when the last reference goes.
    auto session = ViciSession::connect(daemon->viciSocket(), 1s);
    if (!session) return session.error();
    return session.value()->terminate(name, 3s);
}

}  // namespace corvantis::helper
