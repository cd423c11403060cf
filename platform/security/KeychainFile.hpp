#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/PrivateJsonFile.hpp"

#include <filesystem>
#include <nlohmann/json_fwd.hpp>

namespace platform::security {

// The file that keeps a keychain's items, private to its owner: {"version": 1, "items": [...]}.
class KeychainFile {
public:
    explicit KeychainFile(std::filesystem::path path) : file_(std::move(path)) {}

    const std::filesystem::path& path() const { return file_.path(); }
    foundation::Expected<void> prepareFolder() const { return file_.prepareFolder(); }
    // The items; a missing file is a keychain without items, a file of another form is refused.
    foundation::Expected<nlohmann::json> readItems() const;
    foundation::Expected<void> writeItems(const nlohmann::json& items) const;

private:
    foundation::PrivateJsonFile file_;
};

}  // namespace platform::security
