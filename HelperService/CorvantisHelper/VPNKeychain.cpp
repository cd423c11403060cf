#include "HelperService/CorvantisHelper/VPNKeychain.hpp"

#include "platform/security/KeychainAccess.hpp"
#include "platform/security/SystemKeychain.hpp"

namespace corvantis::helper {

using platform::security::KeychainAccess;
using platform::security::SystemKeychain;
using platform::security::TrustedApplication;

VPNKeychain::VPNKeychain(std::filesystem::path systemKeychain, std::shared_ptr<HelperLog> log,
                         std::shared_ptr<platform::security::KeychainFaults> faults, std::filesystem::path systemRoot)
    : systemKeychain_(std::move(systemKeychain)),
      log_(std::move(log)),
      faults_(std::move(faults)),
      systemRoot_(std::move(systemRoot)) {}

int VPNKeychain::createPasswordKeyChainItem(const std::string& label, const std::string& service, const std::string& account,
                                            const std::string& password) const {
    return createItem(label, service, account, "PPP Password", password);
}

int VPNKeychain::createSharedSecretKeyChainItem(const std::string& label, const std::string& service,
                                                const std::string& password) const {
    return createItem(label, service + ".SS", "", "IPSec Shared Secret", password);
}

int VPNKeychain::createXAuthKeyChainItem(const std::string& label, const std::string& service,
                                         const std::string& password) const {
    return createItem(label, service + ".XAUTH", "", "IPSec XAuth Password", password);
}

int VPNKeychain::createItem(const std::string& label, const std::string& service, const std::string& account,
                            const std::string& description, const std::string& password) const {
    auto keychain = SystemKeychain::copyDomainDefault(systemKeychain_, faults_);
    if (!keychain) {
        log_->notice("Could not obtain System Keychain");
        log_->notice(keychain.error().message);
        return 60;
    }
    log_->notice("Succeeded opening System Keychain");
    log_->notice("Unlocking System Keychain");
    if (auto unlocked = keychain.value()->unlock(); !unlocked) {
        log_->notice("Could not unlock System Keychain");
        log_->notice(unlocked.error().message);
        return 61;
    }
    log_->notice("Succeeded unlocking System Keychain");
    auto access = KeychainAccess::create("Corvantis Keychain", trustedApps(), faults_.get());
    if (!access) return 62;
    log_->notice("Created empty Keychain access object");
    if (auto created = keychain.value()->createItem({label, account, service, description, password}, access.value()); !created) {
        log_->notice("Creating Keychain item failed");
        log_->notice(created.error().message);
        return 63;
    }
    log_->notice("Successfully created Keychain Item");
    return 0;
}

std::vector<TrustedApplication> VPNKeychain::trustedApps() const {
    std::vector<TrustedApplication> applications;
    for (const char* path : trustedAppPaths) {
        auto application =
            TrustedApplication::createFromPath(systemRoot_ / std::filesystem::path(path).relative_path(), faults_.get());
        if (!application) {
            log_->notice("SecTrustedApplicationCreateFromPath failed");
            continue;
        }
        log_->notice("SecTrustedApplicationCreateFromPath succeeded");
        applications.push_back(std::move(application.value()));
    }
    return applications;
}

}  // namespace corvantis::helper
