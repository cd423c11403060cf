#include "platform/network/VPNManager.hpp"

#include "platform/dispatch/DispatchQueue.hpp"

namespace platform::network {

namespace {

std::shared_ptr<VPNManager>& holder() {
    static auto manager = std::make_shared<VPNManager>();
    return manager;
}

foundation::DomainError vpnError(VPNError code, const char* text) {
    return {NEVPNErrorDomain, static_cast<long>(code), text};
}

void complete(std::function<void(std::optional<foundation::DomainError>)> completion, std::optional<foundation::DomainError> error) {
    if (!completion) return;
    dispatch::DispatchQueue::main()->async([completion = std::move(completion), error = std::move(error)] { completion(error); });
}

}  // namespace

std::shared_ptr<VPNManager> VPNManager::sharedManager() {
    return holder();
}

void VPNManager::resetShared() {
    holder() = std::make_shared<VPNManager>();
}

std::optional<foundation::DomainError> VPNManager::failure(VPNStep step, VPNError usual, const char* text) const {
    const auto code = faults.failure(step);
    if (!code) return std::nullopt;
    return foundation::DomainError{NEVPNErrorDomain, *code != 0 ? *code : static_cast<long>(usual), text};
}

void VPNManager::loadFromPreferences(std::function<void(std::optional<foundation::DomainError>)> completion) {
    auto error = failure(VPNStep::loadFromPreferences, VPNError::configurationReadWriteFailed, "The VPN configuration could not be read.");
    if (!error) {
        std::lock_guard lock(mutex_);
        if (stored_) {
            configuration_ = std::make_shared<const VPNProtocolIKEv2>(stored_->configuration);
            enabled_ = stored_->enabled;
            if (status_ == VPNStatus::invalid) status_ = VPNStatus::disconnected;
        }
    }
    complete(std::move(completion), std::move(error));
}

void VPNManager::saveToPreferences(std::function<void(std::optional<foundation::DomainError>)> completion) {
    auto error = failure(VPNStep::saveToPreferences, VPNError::configurationReadWriteFailed, "The VPN configuration could not be saved.");
    if (!error) {
        std::lock_guard lock(mutex_);
        if (!configuration_) {
            error = vpnError(VPNError::configurationInvalid, "The VPN configuration is invalid.");
        } else {
            stored_ = Stored{*configuration_, enabled_};
            if (status_ == VPNStatus::invalid) status_ = VPNStatus::disconnected;
        }
    }
    complete(std::move(completion), std::move(error));
}

void VPNManager::setProtocolConfiguration(std::shared_ptr<const VPNProtocolIKEv2> configuration) {
    std::lock_guard lock(mutex_);
    configuration_ = std::move(configuration);
}

std::shared_ptr<const VPNProtocolIKEv2> VPNManager::protocolConfiguration() const {
    std::lock_guard lock(mutex_);
    return configuration_;
}

void VPNManager::setEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    enabled_ = enabled;
}

bool VPNManager::isEnabled() const {
    std::lock_guard lock(mutex_);
    return enabled_;
}

std::optional<foundation::DomainError> VPNManager::startVPNTunnel() {
    if (auto error = failure(VPNStep::startTunnel, VPNError::connectionFailed, "The VPN connection could not be started.")) return error;
    std::lock_guard lock(mutex_);
    if (!stored_ || !stored_->configuration.serverAddress || stored_->configuration.serverAddress->empty()) {
        return vpnError(VPNError::configurationInvalid, "The VPN configuration is invalid.");
    }
    if (!stored_->enabled) return vpnError(VPNError::configurationDisabled, "The VPN configuration is disabled.");
    status_ = VPNStatus::connecting;
    return std::nullopt;
}

void VPNManager::stopVPNTunnel() {
    std::lock_guard lock(mutex_);
    if (status_ != VPNStatus::invalid) status_ = VPNStatus::disconnected;
}

VPNStatus VPNManager::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

std::optional<VPNProtocolIKEv2> VPNManager::storedConfiguration() const {
    std::lock_guard lock(mutex_);
    if (!stored_) return std::nullopt;
    return stored_->configuration;
}

}  // namespace platform::network
