#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>

namespace corvantis::testbed {

// Copies of the build's programs in a folder that every user can reach, for running them as
// another user: a checkout in a private home folder (root's is 0700 on Debian) keeps that user
// out of the build tree.
class ReachableCopy {
public:
    // Makes `folder` (mode 0755) for the copies; fails, naming it, when a folder above keeps
    // other users out.
    static platform::foundation::Expected<ReachableCopy> in(const std::filesystem::path& folder);

    // `program` (its links followed) as `name` in the folder, mode 0755; returns its path.
    platform::foundation::Expected<std::filesystem::path> program(const std::filesystem::path& program,
                                                                  const std::filesystem::path& name) const;
    // The application's bundle as scripts/install lays it out: the program with its Info.json and
    // Resources, the helper under Contents/Library/LaunchServices. Returns the application's path.
    platform::foundation::Expected<std::filesystem::path> bundle(const std::filesystem::path& application,
                                                                 const std::filesystem::path& helper) const;

    const std::filesystem::path& folder() const { return folder_; }

private:
    explicit ReachableCopy(std::filesystem::path folder) : folder_(std::move(folder)) {}

    std::filesystem::path folder_;
};

}  // namespace corvantis::testbed
