#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace corvantis::helper {

// Hears, on a thread of its own, when one of some files is written, replaced (a rename onto its
// name, as atomic writes do) or removed. It watches their folders, so a file that does not exist
// yet is heard of once it appears; a folder that does not exist is not watched. Changes come in
// bursts: `changed` runs once for everything waiting when the thread wakes.
class FileChangeWatch {
public:
    static platform::foundation::Expected<std::unique_ptr<FileChangeWatch>> start(const std::vector<std::filesystem::path>& files,
                                                                                  std::function<void()> changed);

    // Stops the thread and waits for it; never call it from `changed`.
    ~FileChangeWatch();
    FileChangeWatch(const FileChangeWatch&) = delete;
    FileChangeWatch& operator=(const FileChangeWatch&) = delete;

private:
    FileChangeWatch(platform::foundation::FileDescriptor notify, platform::foundation::FileDescriptor wake);
    void watch(const std::function<void()>& changed);

    platform::foundation::FileDescriptor notify_;
    platform::foundation::FileDescriptor wake_;
    // The watched names, by folder watch descriptor and name.
    std::set<std::pair<int, std::string>> names_;
    std::thread thread_;
};

}  // namespace corvantis::helper
