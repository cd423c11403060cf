#pragma once

#include "platform/dispatch/DescriptorWatch.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/ui/WorkspaceOpener.hpp"

#include <map>
#include <memory>

namespace platform::ui {

// Opens URLs with the desktop's "xdg-open", found on PATH. The URL is passed as the program's
// one argument, never through a shell. The program runs detached (under a small watcher process
// that init adopts), so the caller never waits for a browser and no child is left unreaped; the
// watcher reports the program's exit status through a pipe, and a non-zero one reaches the
// caller's late-failure handler on the main queue. Main thread only.
class XdgOpenWorkspaceOpener final : public WorkspaceOpener {
public:
    static std::shared_ptr<XdgOpenWorkspaceOpener> shared();

    // Fails when "xdg-open" is not on PATH or the process cannot be started.
    foundation::Expected<void> open(const foundation::Url& url, LateFailure failedLater) override;

private:
    struct Watched {
        foundation::FileDescriptor report;
        std::unique_ptr<dispatch::DescriptorWatch> watch;
    };

    // The watcher of the run numbered `run` wrote its status or ended.
    void reported(int run, const LateFailure& failedLater);

    std::map<int, Watched> running_;
    int lastRun_ = 0;
};

}  // namespace platform::ui
