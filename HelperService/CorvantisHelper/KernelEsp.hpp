#pragma once

#include <filesystem>

namespace corvantis::helper {

// Whether this machine's kernel can carry ESP itself (the esp4 module built in, loaded or
// loadable); where it cannot, charon carries ESP in user space (kernel-libipsec).
class KernelEsp {
public:
    struct Paths {
        std::filesystem::path xfrmStatistics = "/proc/net/xfrm_stat";
        std::filesystem::path loadedModules = "/proc/modules";
        std::filesystem::path moduleFolder = "/sys/module/esp4";
        // Empty: /lib/modules/<running kernel release>.
        std::filesystem::path installedModules;
    };

    static bool available(const Paths& paths);
    static bool available() { return available(Paths{}); }
};

}  // namespace corvantis::helper
