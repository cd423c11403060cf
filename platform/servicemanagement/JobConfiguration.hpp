#pragma once

#include "platform/foundation/Expected.hpp"

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform::servicemanagement {

// An installed job's configuration file: "key = value" lines with '#' comments, which the job
// reads when it starts. Installing writes the users it serves besides root ("allow-uid") and the
// application it serves ("bundle-resources", "application-executable"); every other line is
// kept as it stands. Every road that installs the job writes it through this class.
class JobConfiguration {
public:
    static constexpr const char* allowUidKey = "allow-uid";
    static constexpr const char* bundleResourcesKey = "bundle-resources";
    static constexpr const char* applicationExecutableKey = "application-executable";

    // Whom and what the installing side asks the job to serve.
    struct Client {
        // The application bundle's resources folder and its program, absolute.
        std::filesystem::path bundleResources;
        std::filesystem::path applicationExecutable;
        // The user who installs; none adds no one.
        std::optional<uid_t> user;
    };

    // The one reading of user ids, for the side that installs and for the job that serves them: a
    // decimal number; in a list, numbers separated by commas or blanks. 4294967295, (uid_t)-1, is
    // no user but the "no change" value of setresuid and chown, so it is refused as well.
    static foundation::Expected<uid_t> userId(std::string_view text);
    static foundation::Expected<std::set<uid_t>> userIds(std::string_view list);

    explicit JobConfiguration(std::string text = {}) : text_(std::move(text)) {}
    // A missing file reads as an empty configuration.
    static foundation::Expected<JobConfiguration> read(const std::filesystem::path& path);

    // The users listed under "allow-uid"; a line that is not a list of user ids adds none.
    std::set<uid_t> allowedUsers() const;
    // Names the client's application in place of the one named before and adds its user, once.
    // Refused, leaving the text as it was, for a path that is not absolute or that a line of this
    // file cannot hold (a line break, a '#', blanks at either end).
    foundation::Expected<void> serve(const Client& client);

    const std::string& text() const { return text_; }
    // Writes the file atomically, for root: the job trusts it only while root owns it and nobody
    // else can write it.
    foundation::Expected<void> write(const std::filesystem::path& path) const;

private:
    std::string text_;
};

}  // namespace platform::servicemanagement
