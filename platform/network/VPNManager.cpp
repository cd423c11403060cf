#include "platform/network/VPNManager.hpp"

#include "platform/dispatch/DispatchQueue.hpp"

#include <utility>

namespace platform::network {

namespace {

std::shared_ptr<VPNManager>& holder() {
    static auto manager = std::make_shared<VPNManager>();
    return manager;
}

foundation::DomainError vpnError(VPNError code, const char* text) {
    return {NEVPNErrorDomain, static_cast<long>(code), text};
}

void complete(std::function<void(std::optional<foundation::DomainError>)> completion,
              std::optional<foundation::DomainError> error) {
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
    auto error =
        failure(VPNStep::loadFromPreferences, VPNError::configurationReadWriteFailed, "The VPN configuration could not be read.");
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
    auto error =
        failure(VPNStep::saveToPreferences, VPNError::configurationReadWriteFailed, "The VPN configuration could not be saved.");
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
    if (auto error = failure(VPNStep::startTunnel, VPNError::connectionFailed, "The VPN connection could not be started."))
        return error;
    std::shared_ptr<VPNTunnelProvider> provider;
    VPNProtocolIKEv2 configuration;
    unsigned attempt = 0;
    {
        std::lock_guard lock(mutex_);
        if (!stored_ || !stored_->configuration.serverAddress || stored_->configuration.serverAddress->empty()) {
            return vpnError(VPNError::configurationInvalid, "The VPN configuration is invalid.");
        }
        if (!stored_->enabled) return vpnError(VPNError::configurationDisabled, "The VPN configuration is disabled.");
        status_ = VPNStatus::connecting;
        provider = provider_;
        configuration = stored_->configuration;
        attempt = ++attempt_;
        providerStarted_ = provider != nullptr;
    }
    // Outside the lock: the provider may answer at once.
    if (provider) {
        provider->startTunnel(configuration, [weak = weak_from_this(), attempt](VPNTunnelProvider::Outcome outcome) {
            const auto self = weak.lock();
            if (!self) return;
            std::lock_guard lock(self->mutex_);
            if (self->attempt_ != attempt) return;
            switch (outcome) {
                case VPNTunnelProvider::Outcome::connected: self->status_ = VPNStatus::connected; break;
                case VPNTunnelProvider::Outcome::failed: self->status_ = VPNStatus::disconnected; break;
                case VPNTunnelProvider::Outcome::unavailable: break;
            }
        });
    }
    return std::nullopt;
}

void VPNManager::stopVPNTunnel() {
    std::shared_ptr<VPNTunnelProvider> provider;
    {
        std::lock_guard lock(mutex_);
        ++attempt_;
        if (status_ != VPNStatus::invalid) status_ = VPNStatus::disconnected;
        if (std::exchange(providerStarted_, false)) provider = provider_;
    }
    if (provider) provider->stopTunnel();
}

void VPNManager::setTunnelProvider(std::shared_ptr<VPNTunnelProvider> provider) {
    std::lock_guard lock(mutex_);
    provider_ = std::move(provider);
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
