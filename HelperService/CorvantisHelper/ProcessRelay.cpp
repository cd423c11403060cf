#include "HelperService/CorvantisHelper/ProcessRelay.hpp"

#include <future>

namespace corvantis::helper {

using platform::foundation::OutputStream;
using platform::foundation::ProcessEvents;
using platform::foundation::ProcessExit;
using platform::foundation::ProcessRequest;

ProcessRelay::ProcessRelay(std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log)
    : launcher_(std::move(launcher)), log_(std::move(log)) {}

bool ProcessRelay::run(const ProcessRequest& request, CommandReply& reply) const {
    // The arguments stay out of the log: they carry what a caller chose (addresses, a script's text).
    const std::string description = request.program.string();
    log_->notice("Running " + description);

    auto exited = std::make_shared<std::promise<ProcessExit>>();
    auto exit = exited->get_future();
    ProcessEvents events{
        [&reply](OutputStream, std::string_view chunk) { reply.sendOutput(chunk); },
        [&reply, exited](ProcessExit status) {
            reply.sendOutput({});
            exited->set_value(status);
        },
    };
    auto launched = launcher_->launch(request, std::move(events));
    if (!launched) {
        log_->notice(launched.error().message);
        reply.sendOutput(launched.error().message + "\n");
        return false;
    }
    const ProcessExit status = exit.get();
    if (!status.succeeded()) {
        log_->notice(description + (status.signal != 0 ? " ended by signal " + std::to_string(status.signal)
                                                       : " exited with status " + std::to_string(status.exitStatus)));
    }
    return status.succeeded();
}

}  // namespace corvantis::helper
