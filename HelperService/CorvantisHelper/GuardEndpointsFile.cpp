#include "HelperService/CorvantisHelper/GuardEndpointsFile.hpp"

#include "HelperService/CorvantisHelper/RootFiles.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <algorithm>

namespace corvantis::helper {

GuardEndpointsFile::GuardEndpointsFile(std::filesystem::path path, std::shared_ptr<HelperLog> log)
    : path_(std::move(path)), log_(std::move(log)) {}

void GuardEndpointsFile::use(const std::vector<ServerEndpoint>& endpoints) {
    std::lock_guard lock(mutex_);
    rendered_ = endpoints;
    if (current() != endpoints) write(endpoints);
}

void GuardEndpointsFile::forget(const Ipv4Address& server) {
    std::lock_guard lock(mutex_);
    auto endpoints = current();
    if (std::erase_if(endpoints, [&](const ServerEndpoint& endpoint) { return endpoint.address == server; }) != 0) {
        write(endpoints);
    }
}

void GuardEndpointsFile::recall(const Ipv4Address& server) {
    std::lock_guard lock(mutex_);
    auto endpoints = current();
    const auto before = endpoints.size();
    for (const auto& endpoint : rendered_) {
        if (endpoint.address == server && std::find(endpoints.begin(), endpoints.end(), endpoint) == endpoints.end()) {
            endpoints.push_back(endpoint);
        }
    }
    if (endpoints.size() != before) write(endpoints);
}

std::vector<ServerEndpoint> GuardEndpointsFile::current() const {
    const auto content = RootFiles::readTrustedFile(path_);
    return content ? ServerEndpoints::read(content.value()) : std::vector<ServerEndpoint>{};
}

void GuardEndpointsFile::write(const std::vector<ServerEndpoint>& endpoints) {
    namespace FileSystem = platform::foundation::FileSystem;
    auto written = FileSystem::createDirectories(path_.parent_path(), 0755);
    if (written) written = FileSystem::replaceFile(path_, ServerEndpoints::fileText(endpoints), 0644);
    if (!written) {
        log_->notice("The kill-switch guard's server endpoints were not updated: " + written.error().message);
    }
}

}  // namespace corvantis::helper
