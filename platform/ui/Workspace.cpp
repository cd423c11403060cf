#include "platform/ui/Workspace.hpp"

#include "platform/Services.hpp"
#include "platform/ui/WorkspaceOpener.hpp"

namespace platform::ui {

Workspace& Workspace::shared() {
    static Workspace workspace;
    return workspace;
}

foundation::Expected<void> Workspace::open(const foundation::Url& url) {
    return Services::current().workspaceOpener()->open(url);
}

}  // namespace platform::ui
