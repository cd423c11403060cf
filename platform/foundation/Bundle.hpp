#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace platform::foundation {

// The folder a program ships in, and the information it carries about itself.
class Bundle {
public:
    static constexpr const char* infoFileName = "Info.json";

    // Without a resources folder of its own, the bundle's resources are those of the build
    // (see `resourceDirectory`).
    explicit Bundle(std::filesystem::path bundlePath, std::filesystem::path resourcePath = {});

    // The running program's bundle (the folder of its executable), or the installed platform
    // services' stand-in.
    static std::shared_ptr<Bundle> main();
    // The bundle of the running executable itself.
    static std::shared_ptr<Bundle> forCurrentExecutable();

    const std::filesystem::path& bundlePath() const { return bundlePath_; }
    // The folder of the bundle's resources: scripts, images, fonts.
    const std::filesystem::path& resourcePath() const { return resourcePath_; }
    // The resource "<name>.<type>", or none when the bundle has no such file.
    std::optional<std::filesystem::path> pathForResource(const std::string& name, const std::string& type) const;
    // The JSON object in "Info.json" inside the bundle ("CFBundleShortVersionString",
    // "CFBundleVersion", …); none when there is no such file or it holds no JSON object.
    const std::optional<nlohmann::json>& infoDictionary() const { return infoDictionary_; }
    // The text for `key` in the bundle's strings table `table` ("Localizable" when none): the
    // JSON object of key → text in "<table>.strings.json" inside the bundle. Without such an
    // entry, `value` when it is not empty, else the key itself.
    std::string localizedString(const std::string& key, const std::string& value,
                                const std::optional<std::string>& table = std::nullopt) const;

private:
    std::filesystem::path bundlePath_;
    std::filesystem::path resourcePath_;
    std::optional<nlohmann::json> infoDictionary_;
};

}  // namespace platform::foundation
