#include "support/ProgramRun.hpp"

#include "platform/foundation/PosixProcessLauncher.hpp"

#include <future>
#include <memory>
#include <mutex>

namespace corvantis::testing {

using platform::foundation::OutputStream;
using platform::foundation::ProcessExit;

ProgramRun runProgram(const platform::foundation::ProcessRequest& request) {
    struct Shared {
        std::mutex mutex;
        ProgramRun run;
        std::promise<void> ended;
    };
    auto shared = std::make_shared<Shared>();
    auto ended = shared->ended.get_future();
    auto launched = platform::foundation::PosixProcessLauncher::shared()->launch(
        request, {[shared](OutputStream stream, std::string_view chunk) {
                      std::lock_guard lock(shared->mutex);
                      if (chunk.empty()) ++shared->run.streamEnds;
                      (stream == OutputStream::standardOutput ? shared->run.standardOutput : shared->run.standardError)
                          .append(chunk);
                  },
                  [shared](ProcessExit exit) {
                      {
                          std::lock_guard lock(shared->mutex);
                          shared->run.exit = exit;
                      }
                      shared->ended.set_value();
                  }});
    if (!launched) return ProgramRun{false, launched.error().message, {}, {}, 0, {}};
    ended.wait();
    std::lock_guard lock(shared->mutex);
    shared->run.started = true;
    return shared->run;
}

}  // namespace corvantis::testing
