#include "platform/foundation/ProcessRun.hpp"

#include <future>
#include <memory>
#include <mutex>

namespace platform::foundation {

Expected<FinishedProcess> runToEnd(ProcessLauncher& launcher, const ProcessRequest& request) {
    struct Shared {
        std::mutex mutex;
        FinishedProcess finished;
        std::promise<void> ended;
    };
    auto shared = std::make_shared<Shared>();
    auto ended = shared->ended.get_future();
    auto launched = launcher.launch(request, {[shared](OutputStream stream, std::string_view chunk) {
                                                  std::lock_guard lock(shared->mutex);
                                                  auto& text = stream == OutputStream::standardOutput
                                                                   ? shared->finished.standardOutput
                                                                   : shared->finished.standardError;
                                                  text.append(chunk);
                                              },
                                              [shared](ProcessExit exit) {
                                                  {
                                                      std::lock_guard lock(shared->mutex);
                                                      shared->finished.exit = exit;
                                                  }
                                                  shared->ended.set_value();
                                              }});
    if (!launched) return launched.error();
    ended.wait();
    std::lock_guard lock(shared->mutex);
    return shared->finished;
}

}  // namespace platform::foundation
