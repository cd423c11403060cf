#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/Url.hpp"

namespace platform::ui {

// Hands a URL to the program the user chose for it (browser, mail client). The process's
// opener comes from the platform services, so tests can record instead.
class WorkspaceOpener {
public:
    virtual ~WorkspaceOpener() = default;

    // Done when the URL was handed over, else why not; what the program then does is not waited for.
    virtual foundation::Expected<void> open(const foundation::Url& url) = 0;
};

}  // namespace platform::ui
