#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/Url.hpp"

#include <functional>

namespace platform::ui {

// Hands a URL to the program the user chose for it (browser, mail client). The process's
// opener comes from the platform services, so tests can record instead.
class WorkspaceOpener {
public:
    // Runs on the main queue when the program the URL went to reports, later, that it could not
    // open it, with why.
    using LateFailure = std::function<void(const foundation::Error& error)>;

    virtual ~WorkspaceOpener() = default;

    // Done when the URL was handed over, else why not; what the program then does is not waited
    // for, but a failure it reports goes to `failedLater` (when given).
    virtual foundation::Expected<void> open(const foundation::Url& url, LateFailure failedLater) = 0;
};

}  // namespace platform::ui
