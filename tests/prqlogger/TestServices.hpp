#pragma once

#include "platform/Services.hpp"
#include "platform/foundation/Bundle.hpp"

#include <filesystem>
#include <memory>

namespace corvantis::testing {

// Platform services whose main bundle is `folder`: log headers then show exactly what its
// "Info.json" tells, or only the process and its PID when there is none.
inline platform::Services servicesWithBundle(const std::filesystem::path& folder) {
    platform::Services services;
    services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(folder);
    return services;
}

}  // namespace corvantis::testing
