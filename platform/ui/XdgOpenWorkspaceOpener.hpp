#pragma once

#include "platform/ui/WorkspaceOpener.hpp"

#include <memory>

namespace platform::ui {

// Opens URLs with the desktop's "xdg-open", found on PATH. The URL is passed as the program's
// one argument, never through a shell. The program runs detached (as a grandchild that init
// adopts), so the caller never waits for a browser and no child is left unreaped.
class XdgOpenWorkspaceOpener final : public WorkspaceOpener {
public:
    static std::shared_ptr<XdgOpenWorkspaceOpener> shared();

    // Fails when "xdg-open" is not on PATH or the process cannot be started.
    foundation::Expected<void> open(const foundation::Url& url) override;
};

}  // namespace platform::ui
