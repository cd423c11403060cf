#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/security/KeychainStep.hpp"

#include <filesystem>
#include <memory>

namespace platform::security {

// A program that may read a keychain item without asking, named by its path.
class TrustedApplication {
public:
    // Fails (errSecItemNotFound) when nothing is installed at `path`.
    static foundation::Expected<TrustedApplication> createFromPath(const std::filesystem::path& path,
                                                                   const KeychainFaults* faults = nullptr);

    const std::filesystem::path& path() const { return path_; }

private:
    explicit TrustedApplication(std::filesystem::path path) : path_(std::move(path)) {}
    std::filesystem::path path_;
};

}  // namespace platform::security
