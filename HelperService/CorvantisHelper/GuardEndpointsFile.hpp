#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/ServerEndpoints.hpp"

#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

namespace corvantis::helper {

// The current VPN server's endpoints as the guard reads them: replaced by each profile the
// helper renders, emptied of a server whose host route the application takes away (it has left
// that server, or released the kill switch), and given back that server's when the application
// routes it again (engaging once more while still connected to it). Any other route opens
// nothing. Nothing here outlives a reboot, so the file is never flushed to disk. Calls come from
// any connection's thread.
class GuardEndpointsFile {
public:
    GuardEndpointsFile(std::filesystem::path path, std::shared_ptr<HelperLog> log);

    void use(const std::vector<ServerEndpoint>& endpoints);
    void forget(const Ipv4Address& server);
    void recall(const Ipv4Address& server);

private:
    // The file as it stands, whoever wrote it last (an earlier run of the helper).
    std::vector<ServerEndpoint> current() const;
    void write(const std::vector<ServerEndpoint>& endpoints);

    const std::filesystem::path path_;
    const std::shared_ptr<HelperLog> log_;
    std::mutex mutex_;
    // What the last profile the helper rendered named.
    std::vector<ServerEndpoint> rendered_;
};

}  // namespace corvantis::helper
