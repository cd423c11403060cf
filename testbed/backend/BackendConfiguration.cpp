#include "testbed/backend/BackendConfiguration.hpp"

namespace corvantis::testbed {

BackendConfiguration BackendConfiguration::demo() {
    BackendConfiguration configuration;
    configuration.products = {{7, "Monthly"}, {9, "Yearly"}};
    BackendAccount account;
    account.username = "demo@corvantis.test";
    account.password = "demo-password";
    account.vpnPassword = "vpn-demo-secret";
    account.subscriptions = {{"9", "2027-01-15"}};
    account.categories = {"2"};
    account.servers = {
        {"DE", "Frankfurt", "de-fra-01.corvantis.test", "198.51.100.10"},
        {"DE", "Berlin", "de-ber-01.corvantis.test", "198.51.100.11"},
        {"FR", "Paris", "fr-par-01.corvantis.test", "198.51.100.20"},
        {"US", "New York", "us-nyc-01.corvantis.test", "198.51.100.30"},
    };
    configuration.accounts.push_back(std::move(account));
    configuration.tcpConfig = "client\nproto [proto]\nremote [hostname] [port]\n";
    configuration.udpConfig = "client\nproto [proto]\nremote [hostname] [port]\n";
    return configuration;
}

}  // namespace corvantis::testbed
