#pragma once

#include <filesystem>

namespace platform::foundation {

// The folder that holds the application's resources (fonts, animations, images, scripts):
// "$CORVANTIS_RESOURCES_DIR" when set, else the "Resources" folder beside the running program
// (an installed application), else the source tree's "resources" folder that the build was made from.
std::filesystem::path resourceDirectory();

}  // namespace platform::foundation
