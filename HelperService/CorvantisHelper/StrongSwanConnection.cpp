#include "HelperService/CorvantisHelper/StrongSwanConnection.hpp"

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::network::IKEv2AuthenticationMethod;
using platform::network::IKEv2DeadPeerDetectionRate;
using platform::network::ViciMessage;

int StrongSwanConnection::deadPeerDetectionSeconds(IKEv2DeadPeerDetectionRate rate) {
    // The rates' usual meanings: every 30 minutes, 10 minutes, 1 minute.
    switch (rate) {
        case IKEv2DeadPeerDetectionRate::none: return 0;
        case IKEv2DeadPeerDetectionRate::low: return 30 * 60;
        case IKEv2DeadPeerDetectionRate::medium: return 10 * 60;
        case IKEv2DeadPeerDetectionRate::high: return 60;
    }
    return 0;
}

Expected<ViciMessage> StrongSwanConnection::make(const IKEv2TunnelSettings& settings, bool userSpaceEsp) {
    if (auto valid = settings.validate(); !valid) return valid.error();
    if (settings.authenticationMethod != IKEv2AuthenticationMethod::none) {
        return Error{ENOTSUP,
                     "Only the account login (EAP) is offered for IKEv2, no certificate or shared secret of the client's"};
    }
    if (!settings.useExtendedAuthentication)
        return Error{ENOTSUP, "An IKEv2 tunnel without the account login has nothing to log in with"};
    if (!settings.username) return Error{EINVAL, "The IKEv2 account login needs a user name"};
    if (settings.disconnectOnSleep) return Error{ENOTSUP, "Ending the IKEv2 tunnel when the machine sleeps is not offered"};

    auto local = ViciMessage().add("auth", "eap-mschapv2");
    if (settings.localIdentifier) local.add("id", *settings.localIdentifier);
    local.add("eap_id", *settings.username);
    // Without a remote identifier the certificate must still be for the server's own name.
    const auto remoteIdentity = settings.remoteIdentifier.value_or(settings.serverAddress);
    auto remote = ViciMessage().add("auth", "pubkey").add("id", remoteIdentity);

    const int dpd = deadPeerDetectionSeconds(settings.deadPeerDetectionRate);
    // A dead peer ends the tunnel, as the platform's VPN manager does.
    auto child = ViciMessage()
                     .addList("remote_ts", {"0.0.0.0/0"})
                     .add("dpd_action", dpd > 0 ? "clear" : "none")
                     .add("start_action", "none")
                     .add("close_action", "none");

    auto connection = ViciMessage()
                          .add("version", "2")
                          .addList("remote_addrs", {settings.serverAddress})
                          .addList("vips", {"0.0.0.0"})
                          .add("encap", userSpaceEsp ? "yes" : "no")
                          .add("dpd_delay", std::to_string(dpd) + "s")
                          .add("keyingtries", "1");
    connection.addSection("local", std::move(local))
        .addSection("remote", std::move(remote))
        .addSection("children", ViciMessage().addSection(name, std::move(child)));
    return connection;
}

}  // namespace corvantis::helper
