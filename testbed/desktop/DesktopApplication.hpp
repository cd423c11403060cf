#pragma once

#include "testbed/desktop/DesktopProgram.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::testbed {

// The application as a user runs it on a virtual desktop: the corvantis-vpn program, with a home,
// settings and temporary folder of its own, against a backend, and the real helper program from
// its bundle on a socket of its own, serving this user, with its root actions kept in the run's
// folder (the route tool only records what it is asked). Ends both when destroyed.
class DesktopApplication {
public:
    struct Options {
        std::filesystem::path program;
        std::string displayName;
        std::string apiUrl;
        // The status item's place: "strip", "xembed", "sni", or empty to let the application choose.
        std::string tray;
        // Further settings for the application's environment ("NAME=value").
        std::vector<std::string> environment;
    };

    explicit DesktopApplication(Options options);
    ~DesktopApplication();
    DesktopApplication(const DesktopApplication&) = delete;
    DesktopApplication& operator=(const DesktopApplication&) = delete;

    const DesktopProgram& program() const { return *application_; }
    const std::filesystem::path& folder() const { return folder_; }
    // Waits until the application says its popup is set up; false when it ended first.
    bool waitUntilStarted(std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;

private:
    std::filesystem::path folder_;
    std::unique_ptr<HelperDaemon> helper_;
    std::unique_ptr<DesktopProgram> application_;
};

}  // namespace corvantis::testbed
