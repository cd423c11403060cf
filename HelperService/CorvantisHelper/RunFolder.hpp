#pragma once

#include "platform/foundation/Expected.hpp"

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>
#include <sys/types.h>

namespace corvantis::helper {

// A fresh folder only the helper's user can enter (0700), made inside a runtime folder that
// only that user can write, and removed with everything in it when the object goes. Files in
// it are new files, never followed links.
class RunFolder {
public:
    static platform::foundation::Expected<std::unique_ptr<RunFolder>> make(const std::filesystem::path& runtimeFolder,
                                                                           std::string_view prefix);
    // Removes the folders that earlier runs left in `runtimeFolder` (a helper killed during a run
    // never removed them, and they may hold credentials): every folder named as `make` names
    // them, nothing else. Only in a runtime folder that nobody but the helper's user can write;
    // none there is no error. Returns how many were removed.
    static platform::foundation::Expected<std::size_t> sweep(const std::filesystem::path& runtimeFolder);
    ~RunFolder();
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Creates `name` in the folder with `mode` and writes `content` to it.
    platform::foundation::Expected<std::filesystem::path> write(std::string_view name, std::string_view content,
                                                                mode_t mode) const;

private:
    explicit RunFolder(std::filesystem::path path) : path_(std::move(path)) {}

    std::filesystem::path path_;
};

}  // namespace corvantis::helper
