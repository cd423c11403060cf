#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/Url.hpp"
#include "platform/ui/WorkspaceOpener.hpp"

namespace platform::ui {

// The user's desktop, as far as the application reaches it: opening web pages and mail.
class Workspace {
public:
    static Workspace& shared();

    // Opens `url` with the installed platform services' opener: done when it was handed over; a
    // failure the program reports later goes to `failedLater`.
    foundation::Expected<void> open(const foundation::Url& url, WorkspaceOpener::LateFailure failedLater = {});
};

}  // namespace platform::ui
