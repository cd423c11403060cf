#include "platform/network/NetworkPreferences.hpp"

#include <algorithm>
#include <random>

namespace platform::network {

using foundation::Error;
using foundation::Expected;

namespace {

constexpr int formatVersion = 1;

// A machine that never had its preferences changed: one set, current, without services.
nlohmann::json freshPreferences() {
    return {{"version", formatVersion},
            {"services", nlohmann::json::object()},
            {"sets", {{"0", {{"name", "Automatic"}, {"services", nlohmann::json::array()}}}}},
            {"currentSet", "0"},
            {"applied", nullptr}};
}

bool wellFormed(const nlohmann::json& document) {
    return document.is_object() && document.value("version", 0) == formatVersion && document.contains("services") &&
           document["services"].is_object() && document.contains("sets") && document["sets"].is_object();
}

// An identifier in the platform's form, e.g. "0F3A8C52-6D1E-4B7F-9A20-5C8E1D4F7B63".
std::string newIdentifier() {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::random_device random;
    std::string identifier;
    for (int index = 0; index < 32; ++index) {
        if (index == 8 || index == 12 || index == 16 || index == 20) identifier += '-';
        identifier += digits[random() % 16];
    }
    return identifier;
}

Error noService(const std::string& serviceID) {
    return Error{kSCStatusNoKey, "There is no network service " + serviceID};
}

}  // namespace

Expected<std::shared_ptr<NetworkPreferences>> NetworkPreferences::create(const std::string& name,
                                                                         const std::filesystem::path& file,
                                                                         std::shared_ptr<NetworkFaults> faults) {
    std::shared_ptr<NetworkPreferences> preferences(new NetworkPreferences(name, file, std::move(faults)));
    if (auto failed = preferences->failIf(NetworkStep::createPreferences, "open the network preferences"); !failed) {
        return failed.error();
    }
    if (auto folder = preferences->file_.prepareFolder(); !folder) {
        return Error{kSCStatusNoPrefsSession, "The network preferences' folder is not usable: " + folder.error().message};
    }
    if (auto loaded = preferences->load(); !loaded) return loaded.error();
    return preferences;
}

Expected<void> NetworkPreferences::load() {
    auto document = file_.read();
    if (!document) return Error{kSCStatusNoPrefsSession, "Cannot read the network preferences: " + document.error().message};
    if (document.value() && !wellFormed(*document.value())) {
        return Error{kSCStatusNoPrefsSession, file_.path().string() + " is not a network preferences store"};
    }
    std::lock_guard lock(mutex_);
    session_ = document.value() ? std::move(*document.value()) : freshPreferences();
    return {};
}

Expected<void> NetworkPreferences::failIf(NetworkStep step, const std::string& what) const {
    const auto failure = faults_ ? faults_->failure(step) : std::nullopt;
    if (failure) return Error{*failure != 0 ? *failure : kSCStatusFailed, "Could not " + what};
    return {};
}

nlohmann::json* NetworkPreferences::service(const std::string& serviceID) {
    auto& services = session_["services"];
    const auto found = services.find(serviceID);
    return found == services.end() ? nullptr : &*found;
}

const nlohmann::json* NetworkPreferences::service(const std::string& serviceID) const {
    const auto& services = session_["services"];
    const auto found = services.find(serviceID);
    return found == services.end() ? nullptr : &*found;
}

Expected<std::vector<std::string>> NetworkPreferences::copyAllServices() const {
    if (auto failed = failIf(NetworkStep::copyAllServices, "copy the network services"); !failed) return failed.error();
    std::lock_guard lock(mutex_);
    std::vector<std::pair<long long, std::string>> ordered;
    for (const auto& [identifier, record] : session_["services"].items()) {
        ordered.emplace_back(record.value("order", 0LL), identifier);
    }
    std::sort(ordered.begin(), ordered.end());
    std::vector<std::string> identifiers;
    for (auto& entry : ordered) identifiers.push_back(std::move(entry.second));
    return identifiers;
}

std::string NetworkPreferences::serviceName(const std::string& serviceID) const {
    std::lock_guard lock(mutex_);
    const auto* record = service(serviceID);
    return record ? record->value("name", "") : "";
}

std::string NetworkPreferences::createService(const NetworkInterface& interface) {
    std::lock_guard lock(mutex_);
    const std::string identifier = newIdentifier();
    long long order = 0;
    for (const auto& [ignored, record] : session_["services"].items()) order = std::max(order, record.value("order", 0LL) + 1);
    session_["services"][identifier] = {{"name", interface.type()},
                                        {"interface", interface.layers},
                                        {"interfaceConfiguration", nlohmann::json::object()},
                                        {"extendedConfiguration", nlohmann::json::object()},
                                        {"protocols", nlohmann::json::object()},
                                        {"order", order}};
    return identifier;
}

Expected<void> NetworkPreferences::setServiceName(const std::string& serviceID, const std::string& name) {
    std::lock_guard lock(mutex_);
    auto* record = service(serviceID);
    if (!record) return noService(serviceID);
    (*record)["name"] = name;
    return {};
}

Expected<void> NetworkPreferences::setInterfaceConfiguration(const std::string& serviceID, const nlohmann::json& configuration) {
    if (auto failed = failIf(NetworkStep::setInterfaceConfiguration, "set the interface configuration"); !failed) {
        return failed;
    }
    std::lock_guard lock(mutex_);
    auto* record = service(serviceID);
    if (!record) return noService(serviceID);
    (*record)["interfaceConfiguration"] = configuration;
    return {};
}

Expected<void> NetworkPreferences::setInterfaceExtendedConfiguration(const std::string& serviceID, const std::string& type,
                                                                     const nlohmann::json& configuration) {
    if (auto failed = failIf(NetworkStep::setExtendedConfiguration, "set the " + type + " configuration"); !failed) {
        return failed;
    }
    std::lock_guard lock(mutex_);
    auto* record = service(serviceID);
    if (!record) return noService(serviceID);
    (*record)["extendedConfiguration"][type] = configuration;
    return {};
}

Expected<void> NetworkPreferences::establishDefaultConfiguration(const std::string& serviceID) {
    if (auto failed = failIf(NetworkStep::establishDefaultConfiguration, "establish the default configuration"); !failed) {
        return failed;
    }
    std::lock_guard lock(mutex_);
    auto* record = service(serviceID);
    if (!record) return noService(serviceID);
    for (const char* protocol : {"IPv4", "DNS"}) {
        if (!(*record)["protocols"].contains(protocol)) (*record)["protocols"][protocol] = nlohmann::json::object();
    }
    return {};
}

Expected<std::string> NetworkPreferences::copyCurrentSet() const {
    if (auto failed = failIf(NetworkStep::copyCurrentSet, "copy the current set"); !failed) return failed.error();
    std::lock_guard lock(mutex_);
    const auto current = session_.find("currentSet");
    if (current == session_.end() || !current->is_string() || !session_["sets"].contains(current->get<std::string>())) {
        return Error{kSCStatusNoKey, "The network preferences have no current set"};
    }
    return current->get<std::string>();
}

Expected<void> NetworkPreferences::addServiceToSet(const std::string& setID, const std::string& serviceID) {
    if (auto failed = failIf(NetworkStep::addServiceToSet, "add the service to the set"); !failed) return failed;
    std::lock_guard lock(mutex_);
    if (!service(serviceID)) return noService(serviceID);
    auto& sets = session_["sets"];
    if (!sets.contains(setID)) return Error{kSCStatusNoKey, "There is no set " + setID};
    auto& members = sets[setID]["services"];
    for (const auto& member : members) {
        if (member == serviceID) return Error{kSCStatusKeyExists, "The set holds the service already"};
    }
    members.push_back(serviceID);
    return {};
}

Expected<void> NetworkPreferences::copyProtocol(const std::string& serviceID, const std::string& type) const {
    if (auto failed = failIf(NetworkStep::copyProtocol, "copy the " + type + " protocol"); !failed) return failed;
    std::lock_guard lock(mutex_);
    const auto* record = service(serviceID);
    if (!record) return noService(serviceID);
    if (!record->at("protocols").contains(type)) return Error{kSCStatusNoKey, "The service has no " + type + " protocol"};
    return {};
}

Expected<void> NetworkPreferences::setProtocolConfiguration(const std::string& serviceID, const std::string& type,
                                                            const nlohmann::json& configuration) {
    if (auto failed = failIf(NetworkStep::setProtocolConfiguration, "set the " + type + " configuration"); !failed) {
        return failed;
    }
    std::lock_guard lock(mutex_);
    auto* record = service(serviceID);
    if (!record || !(*record)["protocols"].contains(type))
        return Error{kSCStatusNoKey, "The service has no " + type + " protocol"};
    (*record)["protocols"][type] = configuration;
    return {};
}

Expected<void> NetworkPreferences::removeService(const std::string& serviceID) {
    if (auto failed = failIf(NetworkStep::removeService, "remove the service"); !failed) return failed;
    std::lock_guard lock(mutex_);
    if (!service(serviceID)) return noService(serviceID);
    session_["services"].erase(serviceID);
    for (auto& [ignored, set] : session_["sets"].items()) {
        auto& members = set["services"];
        members.erase(std::remove(members.begin(), members.end(), nlohmann::json(serviceID)), members.end());
    }
    return {};
}

Expected<void> NetworkPreferences::commitChanges() {
    if (auto failed = failIf(NetworkStep::commitChanges, "commit the network preferences"); !failed) return failed;
    std::lock_guard lock(mutex_);
    // The applied state is the store's, not the session's: keep what the file holds.
    auto stored = file_.read();
    nlohmann::json document = session_;
    document["applied"] = stored && stored.value() ? stored.value()->value("applied", nlohmann::json()) : nlohmann::json();
    if (auto written = file_.write(document); !written) {
        return Error{kSCStatusFailed, "Cannot commit the network preferences: " + written.error().message};
    }
    return {};
}

Expected<void> NetworkPreferences::applyChanges() {
    if (auto failed = failIf(NetworkStep::applyChanges, "apply the network preferences"); !failed) return failed;
    std::lock_guard lock(mutex_);
    auto stored = file_.read();
    if (!stored || !stored.value()) return Error{kSCStatusFailed, "There are no committed network preferences to apply"};
    auto document = std::move(*stored.value());
    nlohmann::json committed = document;
    committed.erase("applied");
    document["applied"] = std::move(committed);
    if (auto written = file_.write(document); !written) {
        return Error{kSCStatusFailed, "Cannot apply the network preferences: " + written.error().message};
    }
    return {};
}

Expected<void> NetworkPreferences::synchronize() {
    return load();
}

Expected<nlohmann::json> NetworkPreferences::appliedService(const std::filesystem::path& file, const std::string& serviceID) {
    auto stored = foundation::PrivateJsonFile(file).read();
    if (!stored) return Error{kSCStatusFailed, stored.error().message};
    if (!stored.value()) return Error{kSCStatusConnectionNoService, "No network preferences have been applied"};
    const auto applied = stored.value()->value("applied", nlohmann::json());
    if (!applied.is_object() || !applied.contains("services") || !applied["services"].contains(serviceID)) {
        return Error{kSCStatusConnectionNoService, "The applied network preferences hold no service " + serviceID};
    }
    return applied["services"][serviceID];
}

}  // namespace platform::network
