#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/PrivateJsonFile.hpp"
#include "platform/network/NetworkInterface.hpp"
#include "platform/network/NetworkStep.hpp"

#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace platform::network {

// One session on the machine's network preferences: network services (an interface stack with
// its configuration, extended configurations and protocols), sets of services with one current
// set, and which preferences are applied. Changes stay in the session until committed to the
// root-only store file, and take effect for connections once applied. Failures carry the
// platform's status codes in `Error::code`.
class NetworkPreferences {
public:
    // Opens a session for the client `name` on the store in `file`.
    static foundation::Expected<std::shared_ptr<NetworkPreferences>> create(const std::string& name,
                                                                            const std::filesystem::path& file,
                                                                            std::shared_ptr<NetworkFaults> faults = nullptr);

    const std::string& name() const { return name_; }

    // Every service's identifier, in the order the services were made.
    foundation::Expected<std::vector<std::string>> copyAllServices() const;
    std::string serviceName(const std::string& serviceID) const;
    // A new service over `interface`; its identifier.
    std::string createService(const NetworkInterface& interface);
    foundation::Expected<void> setServiceName(const std::string& serviceID, const std::string& name);
    foundation::Expected<void> setInterfaceConfiguration(const std::string& serviceID, const nlohmann::json& configuration);
    foundation::Expected<void> setInterfaceExtendedConfiguration(const std::string& serviceID, const std::string& type,
                                                                 const nlohmann::json& configuration);
    // Gives the service the protocols its interface needs (IPv4 and DNS), unconfigured.
    foundation::Expected<void> establishDefaultConfiguration(const std::string& serviceID);
    // The current set's identifier.
    foundation::Expected<std::string> copyCurrentSet() const;
    // kSCStatusKeyExists when the set holds the service already.
    foundation::Expected<void> addServiceToSet(const std::string& setID, const std::string& serviceID);
    // kSCStatusNoKey when the service has no protocol of that type.
    foundation::Expected<void> copyProtocol(const std::string& serviceID, const std::string& type) const;
    foundation::Expected<void> setProtocolConfiguration(const std::string& serviceID, const std::string& type,
                                                        const nlohmann::json& configuration);
    foundation::Expected<void> removeService(const std::string& serviceID);
    foundation::Expected<void> commitChanges();
    // Makes the committed preferences the ones connections use.
    foundation::Expected<void> applyChanges();
    // Drops the session's uncommitted changes and reads the store again.
    foundation::Expected<void> synchronize();

    // The applied record of a service in the store `file`, as connections see it.
    static foundation::Expected<nlohmann::json> appliedService(const std::filesystem::path& file, const std::string& serviceID);

private:
    NetworkPreferences(std::string name, std::filesystem::path file, std::shared_ptr<NetworkFaults> faults)
        : name_(std::move(name)), file_(std::move(file)), faults_(std::move(faults)) {}
    foundation::Expected<void> load();
    foundation::Expected<void> failIf(NetworkStep step, const std::string& what) const;
    nlohmann::json* service(const std::string& serviceID);
    const nlohmann::json* service(const std::string& serviceID) const;

    const std::string name_;
    foundation::PrivateJsonFile file_;
    const std::shared_ptr<NetworkFaults> faults_;
    mutable std::mutex mutex_;
    nlohmann::json session_;
};

}  // namespace platform::network
