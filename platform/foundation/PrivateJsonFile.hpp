#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace platform::foundation {

// A JSON document that only its owner may read or write: 0600 in a 0700 folder, replaced whole
// and atomically on every write. Files holding secrets or root's settings live in these.
class PrivateJsonFile {
public:
    explicit PrivateJsonFile(std::filesystem::path path) : path_(std::move(path)) {}

    const std::filesystem::path& path() const { return path_; }

    // Makes the folder (0700) when missing; refuses one that another user owns or that group or
    // others may write.
    Expected<void> prepareFolder() const;
    // The document; none when there is no file. Refuses a file reached through a symbolic link,
    // one that another user owns or that group or others may use, and one that is not JSON (it
    // stays as it is, never overwritten).
    Expected<std::optional<nlohmann::json>> read() const;
    Expected<void> write(const nlohmann::json& document) const;

private:
    std::filesystem::path path_;
};

}  // namespace platform::foundation
