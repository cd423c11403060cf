#include "support/HelperFixture.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "support/ProfileShapes.hpp"

#include <stdexcept>
#include <unistd.h>

namespace corvantis::testing {

namespace FileSystem = platform::foundation::FileSystem;

namespace {
void makeFolder(const std::filesystem::path& path, mode_t mode = 0755) {
    if (auto made = FileSystem::createDirectories(path, mode); !made) throw std::runtime_error(made.error().message);
}
}  // namespace

HelperFixture::HelperFixture() {
    makeFolder(bundle);
    makeFolder(home);
    makeFolder(profile.parent_path(), 0700);
    write(bundle / "down.sh", "echo down\n", 0755);
    write(bundle / "com.corvantis.CorvantisGuard.plist", "not what the helper installs\n");
    write(bundle / "corvantis_guard.sh", "#!/bin/sh\nnot what the helper installs\n");
    write(bundle / "up.sh", "#!/bin/sh\necho \"add net 0.0.0.0: gateway $route_vpn_gateway\"\n", 0755);
    write(profile,
          "client\r\ndev tun\r\nproto udp\r\nremote 198.51.100.1 1194\r\nauth-user-pass\r\nkeysize 256\r\n" +
              block("ca", pemObject("CERTIFICATE")) + "up up.sh\ndown down.sh",
          0600);
    write(configuration.resolver.etc, "nameserver 192.168.1.1\nnameserver 8.8.8.8\n");
    routes->defaults = {{100, helper::Ipv4Address::parse("192.168.1.1"), "eth0"}};
    rebuild();
}

platform::Services HelperFixture::servicesWith(std::shared_ptr<FakeProcessLauncher> launcher) {
    platform::Services services;
    services.processLauncherOverride = std::move(launcher);
    return services;
}

helper::HelperConfiguration HelperFixture::makeConfiguration() const {
    helper::HelperConfiguration made;
    made.bundleResources = bundle;
    made.applicationExecutable = "/opt/corvantis/corvantis-vpn";
    made.resolver = {folder / "resolv.conf", folder / "resolv.conf", folder / "corvantis_resolv.conf",
                     folder / "resolv.before-tunnel", folder / "no-resolved.socket"};
    made.guard = {folder / "etc" / "com.corvantis.Corvantis.conf", folder / "etc" / "corvantis_guard.sh", folder / "systemd",
                  "/usr/local/libexec/corvantis/com.corvantis.CorvantisHelper", folder / "guard.endpoints"};
    made.tools.resolvectl = folder / "no-resolvectl";
    // No L2TP or IKEv2 client: tests bring their own driver, and never start a real charon here.
    made.tools.xl2tpd = folder / "no-xl2tpd";
    made.tools.charon = folder / "no-charon";
    made.runtimeFolder = folder / "run";
    made.systemKeychain = folder / "keychain" / "System.keychain";
    made.networkPreferences = folder / "preferences" / "preferences.json";
    return made;
}

void HelperFixture::rebuild() {
    auto asked = accountsAsked;
    auto homeFolder = home;
    helper = std::make_shared<helper::CorvantisHelper>(helper::CorvantisHelper::Dependencies{
        configuration, log,
        [asked, homeFolder](uid_t uid) -> platform::foundation::Expected<helper::UserAccount> {
            asked->push_back(uid);
            return helper::UserAccount{homeFolder, ::getegid()};
        },
        l2tpDriver, networkFaults, keychainFaults, std::nullopt, routes});
}

std::vector<std::optional<std::string>> HelperFixture::run(const std::string& line) {
    std::vector<std::optional<std::string>> replies;
    std::mutex mutex;
    helper->runCommand(line, [&](std::optional<std::string> text) {
        std::lock_guard lock(mutex);
        replies.push_back(std::move(text));
    });
    return replies;
}

void HelperFixture::write(const std::filesystem::path& path, const std::string& content, mode_t mode) const {
    makeFolder(path.parent_path());
    if (!FileSystem::writeFileAtomically(path, content, mode)) throw std::runtime_error("cannot write " + path.string());
}

std::string HelperFixture::read(const std::filesystem::path& path) const {
    auto content = FileSystem::readFile(path);
    return content ? content.value() : "<" + content.error().message + ">";
}

}  // namespace corvantis::testing
