#pragma once

#include "PRQLogger/PRQLogger.hpp"
#include "RecordingDestination.hpp"
#include "TestServices.hpp"
#include "platform/foundation/ExtendedAttributes.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/Url.hpp"
#include "support/TemporaryFolder.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace corvantis::testing {

// The lines of a text file; none when it cannot be read.
inline std::vector<std::string> readLines(const std::filesystem::path& file) {
    const auto content = platform::foundation::FileSystem::readFile(file);
    if (!content) return {};
    std::vector<std::string> lines;
    std::istringstream stream(content.value());
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

// Log files in a folder of their own, on the virtual clock, for a logger whose other destination
// (`watcher_`) records every line the file destinations report.
class LogFileTest : public ::testing::Test {
protected:
    using Lines = std::vector<std::string>;

    LogFileTest() { logger_->add(watcher_); }

    // The header's first line: the process and its PID (the test bundle tells no version).
    static std::string header() {
        return "> " + std::string(program_invocation_short_name) + " PID: " + std::to_string(::getpid());
    }
    // What a file destination showing messages only writes first into a file it opens.
    static Lines opening(const std::filesystem::path& path, const char* how) {
        return {header(), "> PRQLogger Version: 7.0.1 - Level: Debug", opened(path, how)};
    }
    static std::string opened(const std::filesystem::path& path, const char* how) {
        return std::string("> PRQLogger ") + how +
               " log to: " + platform::foundation::Url::fileUrl(path.string()).absoluteString();
    }
    static bool userAttributesWork(const std::filesystem::path& file) {
        return static_cast<bool>(platform::foundation::ExtendedAttributes::set(file, "probe", "1"));
    }

    TemporaryFolder folder_;
    TemporaryFolder emptyBundle_;
    VirtualTime time_{servicesWithBundle(emptyBundle_.path())};
    std::shared_ptr<prq::PRQLogger> logger_ = prq::PRQLogger::make("files", false);
    std::shared_ptr<RecordingDestination<>> watcher_ = std::make_shared<RecordingDestination<>>("watcher", prq::Level::verbose);
};

}  // namespace corvantis::testing
