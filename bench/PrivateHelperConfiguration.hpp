#pragma once

#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <filesystem>

namespace corvantis::bench {

// A helper configuration that keeps every file the helper reads or writes (the guard's key file,
// the resolver files, the run folders, the stores) inside `folder`, never the installed helper's
// in /etc, /run or /var; its resources folder is folder/Resources.
inline platform::foundation::Expected<helper::HelperConfiguration> privateHelperConfiguration(
    const std::filesystem::path& folder) {
    const auto file = folder / "helper.conf";
    if (auto written = platform::foundation::FileSystem::writeFileAtomically(file, "", 0600); !written) return written.error();
    auto options = testbed::HelperDaemon::privateFilesIn(folder);
    options.insert(options.end(), {"--config", file.string(), "--bundle-resources=" + (folder / "Resources").string()});
    return helper::HelperConfiguration::load(options);
}

}  // namespace corvantis::bench
