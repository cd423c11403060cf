#include "testbed/desktop/DesktopApplication.hpp"

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/ResourceDirectory.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace corvantis::testbed {

namespace {

namespace FileSystem = platform::foundation::FileSystem;

std::filesystem::path newFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = (std::filesystem::path(base != nullptr && *base != '\0' ? base : "/tmp") / "corvantis-desktop.XXXXXX");
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder for the application");
    return pattern;
}

void write(const std::filesystem::path& file, const std::string& content, mode_t mode) {
    if (!FileSystem::writeFileAtomically(file, content, mode)) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

DesktopApplication::DesktopApplication(Options options) : folder_(newFolder()) {
    for (const char* owned : {"home", "tmp", "run", "units"}) std::filesystem::create_directories(folder_ / owned);
    // The installed helper is the bundle's own copy, so nothing needs installing.
    const auto helper = options.program.parent_path() / "Contents/Library/LaunchServices/com.corvantis.CorvantisHelper";
    write(folder_ / "units" / "com.corvantis.CorvantisHelper.service", "[Service]\nExecStart=" + helper.string() + "\n", 0644);
    write(folder_ / "resolv.conf", "nameserver 192.168.1.1\n", 0644);
    write(folder_ / "helper.conf", "", 0600);
    write(folder_ / "ip", "#!/bin/sh\necho \"$*\" >> \"" + (folder_ / "ip.log").string() + "\"\n", 0755);
    const auto path = [&](const char* name) { return (folder_ / name).string(); };
    // The helper's own lines go to "helper.log": its standard error is ours while it starts.
    const platform::foundation::FileDescriptor log(
        ::open(path("helper.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const platform::foundation::FileDescriptor savedError(::dup(STDERR_FILENO));
    ::dup2(log.get(), STDERR_FILENO);
    // Every file the helper keeps for the system stays in the folder, so the application's kill
    // switch, resolver and route calls never reach this machine.
    auto helperOptions = HelperDaemon::privateFilesIn(folder_);
    helperOptions.insert(helperOptions.end(),
                         {"--config", path("helper.conf"), "--allow-uid=" + std::to_string(::getuid()), "--ip=" + path("ip"),
                          "--bundle-resources=" + platform::foundation::resourceDirectory().string()});
    helper_ = std::make_unique<HelperDaemon>(helper, folder_ / "helper.sock", helperOptions);
    ::dup2(savedError.get(), STDERR_FILENO);

    std::vector<std::string> environment{"DISPLAY=" + options.displayName,
                                         "HOME=" + path("home"),
                                         "XDG_CONFIG_HOME=" + (folder_ / "home" / ".config").string(),
                                         "TMPDIR=" + path("tmp"),
                                         "CORVANTIS_API_URL=" + options.apiUrl,
                                         "CORVANTIS_HELPER_SOCKET=" + path("helper.sock"),
                                         "CORVANTIS_SYSTEMD_UNIT_DIR=" + path("units"),
                                         "CORVANTIS_CRASH_DSN="};
    if (!options.tray.empty()) environment.push_back("CORVANTIS_TRAY=" + options.tray);
    environment.insert(environment.end(), options.environment.begin(), options.environment.end());
    application_ = std::make_unique<DesktopProgram>(environment, options.program.string(), std::vector<std::string>{});
}

DesktopApplication::~DesktopApplication() {
    application_.reset();
    helper_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

bool DesktopApplication::waitUntilStarted(std::chrono::milliseconds timeout) const {
    return application_->waitForOutput("openPopup", timeout);
}

}  // namespace corvantis::testbed
