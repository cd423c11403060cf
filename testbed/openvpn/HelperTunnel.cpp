#include "testbed/openvpn/HelperTunnel.hpp"

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/xpc/XpcClientConnection.hpp"

#include <stdexcept>
#include <thread>

namespace corvantis::testbed {

using helper::HelperCall;
using platform::foundation::Error;
using platform::foundation::Expected;

HelperTunnel::HelperTunnel(const OpenVpnTestbed& testbed, const std::filesystem::path& helperProgram,
                           const std::filesystem::path& folder, const std::filesystem::path& openvpn)
    : testbed_(testbed), socket_(folder / "helper.sock"), runtime_(folder / "run") {
    const auto configuration = folder / "helper.conf";
    if (auto written = platform::foundation::FileSystem::writeFileAtomically(configuration, "", 0600); !written) {
        throw std::runtime_error(written.error().message);
    }
    daemon_ = std::make_unique<HelperDaemon>(
        helperProgram, socket_,
        std::vector<std::string>{"--config", configuration.string(), "--bundle-resources", testbed.bundle().string(),
                                 "--runtime-folder", runtime_.string(), "--openvpn", openvpn.string(),
                                 "--guard-preferences", (folder / "guard.conf").string(), "--guard-script",
                                 (folder / "guard.sh").string(), "--guard-unit-folder", (folder / "units").string()},
        testbed.inClientNamespace());
}

Expected<std::vector<std::string>> HelperTunnel::connect(const std::string& password) const {
    const auto bundle = testbed_.bundle();
    auto connection = platform::xpc::XpcClientConnection::connect(socket_);
    if (!connection) return connection.error();
    const auto call = HelperCall::runOpenVPN((bundle / "openvpn").string(), testbed_.profile().string(), testbed_.options().user,
                                             password, bundle.string(), true);
    if (auto sent = connection.value().send(helper::HelperWireCodec::encodeCall(call)); !sent) return sent.error();
    auto reply = connection.value().receiveFirstReply(std::chrono::seconds(60));
    if (!reply) return reply.error();
    if (!reply.value()) return Error{ECONNRESET, "The helper closed the connection without a reply"};
    auto texts = helper::HelperWireCodec::decodeTextArrayReply(*reply.value());
    if (!texts) return texts.error();
    if (!texts.value()) return Error{EINVAL, "The helper's reply held no array"};
    return *texts.value();
}

bool HelperTunnel::disconnect(std::chrono::milliseconds limit) const {
    auto connection = platform::xpc::XpcClientConnection::connect(socket_);
    if (!connection || !connection.value().send(helper::HelperWireCodec::encodeCall(HelperCall::disconnect()))) {
        return false;
    }
    // The helper removes a run's folder once its openvpn has been reaped.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::error_code error;
    while (std::filesystem::exists(runtime_, error) && !std::filesystem::is_empty(runtime_, error)) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace corvantis::testbed
