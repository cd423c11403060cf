#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace corvantis::testing {

// The system's folders made private to this test, inside scripts/sandbox: /tmp an empty tmpfs
// but for the checkout and the build when they lie there, and /etc, /var, /home, /root and
// /usr/local overlays over the real ones, so that what is written there lands in upper folders of
// the test's own and leaves with them. What changed can be read back from those upper folders.
class PrivateSystem {
public:
    enum class Scope {
        everything,
        // Only /etc, its changes kept in `work`: for a test whose own files lie in /tmp.
        configuration,
    };
    explicit PrivateSystem(Scope scope = Scope::everything, std::filesystem::path work = "/tmp/private-system");
    // Unmounts everything again.
    ~PrivateSystem();
    PrivateSystem(const PrivateSystem&) = delete;
    PrivateSystem& operator=(const PrivateSystem&) = delete;

    // Whether every folder could be made private; false leaves nothing mounted.
    bool ready() const { return ready_; }
    // Every file written under the private folders that is still there (made or changed, not
    // removed), as the system sees it.
    std::vector<std::filesystem::path> writtenFiles() const;
    // Adds a user to the private password database, with a home folder of its own.
    void addUser(const std::string& name, uid_t uid) const;

private:
    // Mounts the empty /tmp with the folders of the old one that hold the checkout, the build and
    // the running program bound in again.
    bool mountTmpKeepingTheBuild();
    std::filesystem::path upper(const std::filesystem::path& folder) const;

    std::filesystem::path work_;
    bool ready_ = false;
    std::vector<std::filesystem::path> overlaid_;
    std::vector<std::filesystem::path> mounted_;
};

}  // namespace corvantis::testing
