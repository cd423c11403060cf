#include "platform/ui/Workspace.hpp"

#include "platform/Services.hpp"
#include "platform/ui/WorkspaceOpener.hpp"

#include <utility>

namespace platform::ui {

Workspace& Workspace::shared() {
    static Workspace workspace;
    return workspace;
}

foundation::Expected<void> Workspace::open(const foundation::Url& url, WorkspaceOpener::LateFailure failedLater) {
    return Services::current().workspaceOpener()->open(url, std::move(failedLater));
}

}  // namespace platform::ui
