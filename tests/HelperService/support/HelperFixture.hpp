#pragma once

#include "HelperService/CorvantisHelper/CorvantisHelper.hpp"
#include "platform/Services.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/FakeRouteTable.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::testing {

// A helper whose every path lies in a temporary folder, with a fake process launcher and a
// recording log: a bundle with the up and down scripts and the guard's files, a private OpenVPN profile,
// a resolver file, a route table in memory, a home folder for the login item, a runtime folder.
struct HelperFixture {
    TemporaryFolder folder;
    std::filesystem::path bundle = folder / "Corvantis VPN" / "Resources";
    std::filesystem::path home = folder / "home";
    // The OpenVPN profile as the application writes it: in a folder of the user's own, closed
    // to everyone else.
    std::filesystem::path profile = folder / "profile" / "config.ovpn";
    std::shared_ptr<FakeProcessLauncher> launcher = std::make_shared<FakeProcessLauncher>();
    // A default route via 192.168.1.1 on eth0.
    std::shared_ptr<FakeRouteTable> routes = std::make_shared<FakeRouteTable>();
    std::shared_ptr<RecordingHelperLog> log = std::make_shared<RecordingHelperLog>();
    platform::ScopedServices services{servicesWith(launcher)};
    helper::HelperConfiguration configuration = makeConfiguration();
    // The users the login item was asked about.
    std::shared_ptr<std::vector<uid_t>> accountsAsked = std::make_shared<std::vector<uid_t>>();
    // What the L2TP service's platform models are to fail, and how its connections behave.
    std::shared_ptr<platform::network::NetworkFaults> networkFaults = std::make_shared<platform::network::NetworkFaults>();
    std::shared_ptr<platform::security::KeychainFaults> keychainFaults = std::make_shared<platform::security::KeychainFaults>();
    std::shared_ptr<platform::network::ConnectionDriver> l2tpDriver;
    std::shared_ptr<helper::CorvantisHelper> helper;

    HelperFixture();

    // Builds the helper from `configuration` (again, after a test changed it).
    void rebuild();

    // Runs one command line and returns every reply it got.
    std::vector<std::optional<std::string>> run(const std::string& line);

    void write(const std::filesystem::path& path, const std::string& content, mode_t mode = 0644) const;
    std::string read(const std::filesystem::path& path) const;

private:
    static platform::Services servicesWith(std::shared_ptr<FakeProcessLauncher> launcher);
    helper::HelperConfiguration makeConfiguration() const;
};

}  // namespace corvantis::testing
