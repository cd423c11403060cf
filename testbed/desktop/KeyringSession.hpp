#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::testbed {

class DesktopProgram;
class PrivateSessionBus;

// A login session's keyring, private to a test: a session bus of its own and
// gnome-keyring-daemon's Secret Service on it,
// whose login keyring is made and unlocked with the password it reads on standard input, as
// the login manager hands it over, and kept under `folder`. Destroying it ends both programs.
class KeyringSession {
public:
    explicit KeyringSession(const std::filesystem::path& folder);
    ~KeyringSession();
    KeyringSession(const KeyringSession&) = delete;
    KeyringSession& operator=(const KeyringSession&) = delete;

    // The program of the session that is not installed; empty when all are.
    static std::string missingProgram();

    // Empty once the Secret Service answers on the bus; else what went wrong.
    const std::string& problem() const { return problem_; }
    const std::string& busAddress() const { return busAddress_; }
    // The session's variables ("NAME=value") for its programs.
    const std::vector<std::string>& environment() const { return environment_; }

private:
    std::string problem_;
    std::string busAddress_;
    std::vector<std::string> environment_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<DesktopProgram> keyring_;
};

}  // namespace corvantis::testbed
