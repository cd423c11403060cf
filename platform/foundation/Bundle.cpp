#include "platform/foundation/Bundle.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"

#include <system_error>

namespace platform::foundation {

Bundle::Bundle(std::filesystem::path bundlePath) : bundlePath_(std::move(bundlePath)) {
    const auto content = FileSystem::readFile(bundlePath_ / infoFileName);
    if (!content) return;
    auto info = nlohmann::json::parse(content.value(), nullptr, false);
    if (info.is_object()) infoDictionary_ = std::move(info);
}

std::shared_ptr<Bundle> Bundle::main() {
    return Services::current().mainBundle();
}

std::shared_ptr<Bundle> Bundle::forCurrentExecutable() {
    static const auto bundle = [] {
        std::error_code error;
        const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
        return std::make_shared<Bundle>(error ? std::filesystem::current_path() : executable.parent_path());
    }();
    return bundle;
}

}  // namespace platform::foundation
