#include "HelperService/CorvantisHelper/KernelEsp.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <sys/utsname.h>

namespace corvantis::helper {

bool KernelEsp::available(const Paths& paths) {
    std::error_code error;
    // No XFRM at all: no kernel IPsec, whatever modules there are.
    if (!std::filesystem::exists(paths.xfrmStatistics, error)) return false;
    if (std::filesystem::exists(paths.moduleFolder, error)) return true;
    if (auto modules = platform::foundation::FileSystem::readFile(paths.loadedModules);
        modules && (modules.value().starts_with("esp4 ") || modules.value().find("\nesp4 ") != std::string::npos)) {
        return true;
    }
    auto installed = paths.installedModules;
    if (installed.empty()) {
        utsname system{};
        if (::uname(&system) != 0) return false;
        installed = std::filesystem::path("/lib/modules") / system.release;
    }
    if (auto builtIn = platform::foundation::FileSystem::readFile(installed / "modules.builtin");
        builtIn && builtIn.value().find("kernel/net/ipv4/esp4.ko") != std::string::npos) {
        return true;
    }
    for (const char* file : {"esp4.ko", "esp4.ko.xz", "esp4.ko.zst", "esp4.ko.gz"}) {
        if (std::filesystem::exists(installed / "kernel/net/ipv4" / file, error)) return true;
    }
    return false;
}

}  // namespace corvantis::helper
