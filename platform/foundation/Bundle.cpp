#include "platform/foundation/Bundle.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ResourceDirectory.hpp"

#include <system_error>

namespace platform::foundation {

Bundle::Bundle(std::filesystem::path bundlePath, std::filesystem::path resourcePath)
    : bundlePath_(std::move(bundlePath)), resourcePath_(resourcePath.empty() ? resourceDirectory() : std::move(resourcePath)) {
    const auto content = FileSystem::readFile(bundlePath_ / infoFileName);
    if (!content) return;
    auto info = nlohmann::json::parse(content.value(), nullptr, false);
    if (info.is_object()) infoDictionary_ = std::move(info);
}

std::string Bundle::localizedString(const std::string& key, const std::string& value,
                                    const std::optional<std::string>& table) const {
    const auto content = FileSystem::readFile(bundlePath_ / (table.value_or("Localizable") + ".strings.json"));
    if (content) {
        const auto strings = nlohmann::json::parse(content.value(), nullptr, false);
        if (strings.is_object()) {
            if (const auto found = strings.find(key); found != strings.end() && found->is_string())
                return found->get<std::string>();
        }
    }
    return value.empty() ? key : value;
}

std::optional<std::filesystem::path> Bundle::pathForResource(const std::string& name, const std::string& type) const {
    auto path = resourcePath_ / (name + "." + type);
    if (!FileSystem::fileExists(path)) return std::nullopt;
    return path;
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
