#include "app/Reachability.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/NotificationCenter.hpp"

#include <arpa/inet.h>
#include <cstdint>
#include <cstdio>

namespace corvantis {

namespace {

using namespace platform::network;
using platform::foundation::consoleLog;

std::shared_ptr<Reachability> made(std::shared_ptr<NetworkReachability> reference) {
    if (!reference) return nullptr;
    return std::make_shared<Reachability>(std::move(reference));
}

sockaddr_in ipv4(const char* address) {
    sockaddr_in made{};
    made.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &made.sin_addr);
    return made;
}

bool has(SCNetworkReachabilityFlags flags, SCNetworkReachabilityFlags bit) {
    return (flags & bit) != 0;
}

}  // namespace

std::shared_ptr<Reachability> Reachability::reachabilityWithHostname(const std::string& hostname) {
    return made(NetworkReachability::createWithName(hostname));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(const std::string& hostname) {
    return reachabilityWithHostname(hostname);
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in& address) {
    return made(NetworkReachability::createWithAddress(address));
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection() {
    return reachabilityWithAddress(ipv4("0.0.0.0"));
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi() {
    return reachabilityWithAddress(ipv4("169.254.0.0"));
}

Reachability::Reachability(std::shared_ptr<NetworkReachability> reachabilityRef)
    : reachabilityRef_(std::move(reachabilityRef)),
      reachabilitySerialQueue_(platform::dispatch::ThreadPoolQueue::serial(queueLabel)) {}

Reachability::~Reachability() {
    stopNotifier();
}

bool Reachability::startNotifier() {
    const auto self = weak_from_this().lock();
    if (self && reachabilityObject_ == self) return true;
    mainQueue_ = platform::Services::current().mainQueue();
    auto changed = [weak = weak_from_this()](SCNetworkReachabilityFlags flags) {
        if (const auto reachability = weak.lock()) reachability->reachabilityChanged(flags);
    };
    if (auto set = reachabilityRef_->setCallback(changed); !set) {
        consoleLog("SCNetworkReachabilitySetCallback() failed: " + set.error().message);
        reachabilityObject_ = nullptr;
        return false;
    }
    if (auto set = reachabilityRef_->setDispatchQueue(reachabilitySerialQueue_); !set) {
        consoleLog("SCNetworkReachabilitySetDispatchQueue() failed: " + set.error().message);
        // Undoing the half-made watch; its own failure was just reported, nothing more to do.
        (void)reachabilityRef_->setCallback({});
        reachabilityObject_ = nullptr;
        return false;
    }
    reachabilityObject_ = self;
    return true;
}

void Reachability::stopNotifier() {
    if (!reachabilityRef_) return;
    // Stopping is best effort: the real watch always lets go, and a caller tearing down has no one
    // to tell if another would not.
    (void)reachabilityRef_->setCallback({});
    (void)reachabilityRef_->setDispatchQueue(nullptr);
    // Last: this may let go of the last reference to the object.
    reachabilityObject_ = nullptr;
}

void Reachability::reachabilityChanged(SCNetworkReachabilityFlags flags) {
    if (isReachableWithFlags(flags)) {
        if (reachableBlock) reachableBlock(*this);
    } else {
        if (unreachableBlock) unreachableBlock(*this);
    }
    if (reachabilityBlock) reachabilityBlock(*this, flags);
    mainQueue_->async([self = shared_from_this()] {
        platform::foundation::NotificationCenter::defaultCenter()->post(kReachabilityChangedNotification, self);
    });
}

bool Reachability::isReachableWithFlags(SCNetworkReachabilityFlags flags) {
    if (!has(flags, kSCNetworkReachabilityFlagsReachable)) return false;
    return !(has(flags, kSCNetworkReachabilityFlagsConnectionRequired) &&
             has(flags, kSCNetworkReachabilityFlagsTransientConnection));
}

std::optional<SCNetworkReachabilityFlags> Reachability::currentFlags() const {
    return reachabilityRef_->getFlags();
}

bool Reachability::isReachable() const {
    const auto flags = currentFlags();
    return flags && isReachableWithFlags(*flags);
}

bool Reachability::isReachableViaWWAN() const {
    // This platform has no cellular path.
    return false;
}

bool Reachability::isReachableViaWiFi() const {
    const auto flags = currentFlags();
    return flags && has(*flags, kSCNetworkReachabilityFlagsReachable);
}

bool Reachability::isConnectionRequired() const {
    return connectionRequired();
}

bool Reachability::connectionRequired() const {
    const auto flags = currentFlags();
    return flags && has(*flags, kSCNetworkReachabilityFlagsConnectionRequired);
}

bool Reachability::isConnectionOnDemand() const {
    const auto flags = currentFlags();
    return flags && has(*flags, kSCNetworkReachabilityFlagsConnectionRequired) &&
           (has(*flags, kSCNetworkReachabilityFlagsConnectionOnTraffic) ||
            has(*flags, kSCNetworkReachabilityFlagsConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const {
    const auto flags = currentFlags();
    return flags && has(*flags, kSCNetworkReachabilityFlagsConnectionRequired) &&
           has(*flags, kSCNetworkReachabilityFlagsInterventionRequired);
}

NetworkStatus Reachability::currentReachabilityStatus() const {
    return isReachable() && isReachableViaWiFi() ? NetworkStatus::ReachableViaWiFi : NetworkStatus::NotReachable;
}

SCNetworkReachabilityFlags Reachability::reachabilityFlags() const {
    return currentFlags().value_or(0);
}

std::string Reachability::currentReachabilityString() const {
    // The application ships no translations of these, so each is its own key.
    switch (currentReachabilityStatus()) {
        case NetworkStatus::ReachableViaWiFi: return "WiFi";
        case NetworkStatus::ReachableViaWWAN: return "Cellular";
        case NetworkStatus::NotReachable: break;
    }
    return "No Connection";
}

std::string Reachability::flagsText(SCNetworkReachabilityFlags flags) {
    const auto mark = [flags](SCNetworkReachabilityFlags bit, char letter) { return has(flags, bit) ? letter : '-'; };
    return {'X',
            mark(kSCNetworkReachabilityFlagsReachable, 'R'),
            ' ',
            mark(kSCNetworkReachabilityFlagsConnectionRequired, 'c'),
            mark(kSCNetworkReachabilityFlagsTransientConnection, 't'),
            mark(kSCNetworkReachabilityFlagsInterventionRequired, 'i'),
            mark(kSCNetworkReachabilityFlagsConnectionOnTraffic, 'C'),
            mark(kSCNetworkReachabilityFlagsConnectionOnDemand, 'D'),
            mark(kSCNetworkReachabilityFlagsIsLocalAddress, 'l'),
            mark(kSCNetworkReachabilityFlagsIsDirect, 'd')};
}

std::string Reachability::currentReachabilityFlags() const {
    return flagsText(reachabilityFlags());
}

std::string Reachability::description() const {
    char address[16];
    std::snprintf(address, sizeof address, "%#x", static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(this)));
    return "<Reachability: " + std::string(address) + " (" + currentReachabilityFlags() + ")>";
}

}  // namespace corvantis
