#pragma once

#include "HelperService/CorvantisHelper/HelperLog.hpp"
#include "HelperService/CorvantisHelper/OutputRecord.hpp"
#include "HelperService/CorvantisHelper/RunFolder.hpp"
#include "HelperService/CorvantisHelper/TunnelNetwork.hpp"
#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "HelperService/CorvantisHelperInterface/Ipv4Address.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/InputPipe.hpp"
#include "platform/foundation/ProcessLauncher.hpp"
#include "platform/foundation/Utf8StreamDecoder.hpp"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::helper {

// One openvpn process and everything that belongs to it alone: its input pipe, its output, the
// tunnel gateway it reported, its reply channel and its root-only folder. Turns its output into
// the replies "connected" (on "Sequence Completed") and "ended" (on a drop marker, which also
// stops it, and at exit), and answers its credential prompts.
class OpenVpnRun : public std::enable_shared_from_this<OpenVpnRun> {
public:
    // How long a stopped run has after SIGTERM before its process group gets SIGKILL.
    static constexpr platform::dispatch::Duration killGracePeriod = std::chrono::seconds(5);

    struct Parts {
        std::optional<std::string> userName;
        std::optional<std::string> password;
        std::unique_ptr<RunFolder> folder;
        std::shared_ptr<platform::foundation::InputPipe> input;
        TextArrayReply reply;
        // Set from the up script's report as the tunnel comes up, taken back when the run ends.
        std::shared_ptr<TunnelNetwork> network;
    };

    // `ended` runs once, after the process has been reaped and the last reply sent.
    OpenVpnRun(Parts parts, std::shared_ptr<platform::foundation::ProcessLauncher> launcher, std::shared_ptr<HelperLog> log,
               std::function<void(const OpenVpnRun*)> ended);

    // Starts the program; the events of the process wait until its id is known here. A program
    // that cannot start gets the "ended" reply with the reason, and false comes back.
    bool launch(const platform::foundation::ProcessRequest& request);

    // SIGTERM to the run's process group, then SIGKILL once the grace period has passed and the
    // run has still not ended. Nothing once it has ended.
    void stop();

private:
    using Replies = std::vector<std::vector<std::string>>;

    platform::foundation::ProcessEvents events();
    void onOutput(platform::foundation::OutputStream stream, std::string_view chunk);
    void onExit(platform::foundation::ProcessExit exit);
    void takeStandardOutput(std::string_view chunk, Replies& replies);
    void takeLine(const std::string& line, Replies& replies);
    void takeStandardError(std::string_view chunk);
    void answerPrompt(const std::string& name, const std::optional<std::string>& value);
    void stopLocked();
    void killIfStillRunning();
    std::vector<std::string> connectedReply() const;
    std::vector<std::string> endedReply() const;
    void send(const Replies& replies) const;

    const std::shared_ptr<platform::foundation::ProcessLauncher> launcher_;
    const std::shared_ptr<HelperLog> log_;
    std::function<void(const OpenVpnRun*)> ended_;

    mutable std::mutex mutex_;
    Parts parts_;
    pid_t pid_ = -1;
    bool exited_ = false;
    bool stopping_ = false;
    OutputRecord output_;
    platform::foundation::Utf8StreamDecoder outputDecoder_;
    platform::foundation::Utf8StreamDecoder errorDecoder_;
    std::string partialLine_;
    std::optional<Ipv4Address> gateway_;
    TunnelPush push_;
};

}  // namespace corvantis::helper
