#include "HelperService/CorvantisHelper/OpenVpnRun.hpp"

#include "HelperService/CorvantisHelper/LogText.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <array>
#include <csignal>

namespace corvantis::helper {

using platform::foundation::OutputStream;
using platform::foundation::ProcessEvents;
using platform::foundation::ProcessExit;

namespace {

constexpr std::string_view connectedMarker = "Sequence Completed";
constexpr std::array<std::string_view, 5> dropMarkers{"Connection refused", "Connection reset", "Inactivity timeout",
                                                      "read UDP: Unknown error", "AUTH_FAILED"};
constexpr std::string_view usernamePrompt = "Enter Auth Username:";
constexpr std::string_view passwordPrompt = "Enter Auth Password:";
// openvpn's lines can be long (a pushed configuration); the log keeps a good part of them.
constexpr std::size_t loggedLineLimit = 2000;

bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// The up script prints "add net 0.0.0.0: gateway <address>": the fifth word, when it is IPv4.
std::optional<Ipv4Address> gatewayIn(std::string_view line) {
    if (!contains(line, "gateway")) return std::nullopt;
    std::size_t start = 0;
    for (int piece = 0; piece < 4; ++piece) {
        start = line.find(' ', start);
        if (start == std::string_view::npos) return std::nullopt;
        ++start;
    }
    return Ipv4Address::parse(line.substr(start, line.find(' ', start) - start));
}

}  // namespace

OpenVpnRun::OpenVpnRun(Parts parts, std::shared_ptr<platform::foundation::ProcessLauncher> launcher,
                       std::shared_ptr<HelperLog> log, std::function<void(const OpenVpnRun*)> ended)
    : launcher_(std::move(launcher)), log_(std::move(log)), ended_(std::move(ended)), parts_(std::move(parts)) {}

bool OpenVpnRun::launch(const platform::foundation::ProcessRequest& request) {
    TextArrayReply reply;
    std::vector<std::string> ended;
    {
        std::lock_guard lock(mutex_);
        auto launched = launcher_->launch(request, events());
        if (launched) {
            pid_ = launched.value();
            return true;
        }
        log_->notice(launched.error().message);
        output_.append(launched.error().message);
        ended = endedReply();
        parts_.folder.reset();
        reply = std::move(parts_.reply);
    }
    if (reply) reply(ended);
    return false;
}

ProcessEvents OpenVpnRun::events() {
    // The process keeps its run alive until it has been reaped.
    auto self = shared_from_this();
    return {[self](OutputStream stream, std::string_view chunk) { self->onOutput(stream, chunk); },
            [self](ProcessExit exit) { self->onExit(exit); }};
}

void OpenVpnRun::onOutput(OutputStream stream, std::string_view chunk) {
    Replies replies;
    {
        std::lock_guard lock(mutex_);
        if (stream == OutputStream::standardOutput) {
            takeStandardOutput(chunk, replies);
        } else {
            takeStandardError(chunk);
        }
    }
    send(replies);
}

void OpenVpnRun::takeStandardOutput(std::string_view chunk, Replies& replies) {
    output_.append(chunk);
    partialLine_ += chunk.empty() ? outputDecoder_.finish() : outputDecoder_.decode(chunk);
    std::size_t start = 0;
    for (auto end = partialLine_.find('\n'); end != std::string::npos; end = partialLine_.find('\n', start)) {
        std::string line = partialLine_.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        takeLine(line, replies);
        start = end + 1;
    }
    partialLine_.erase(0, start);
    // At the end of the stream an unfinished last line counts as a line.
    if (chunk.empty() && !partialLine_.empty()) takeLine(std::exchange(partialLine_, {}), replies);
}

void OpenVpnRun::takeLine(const std::string& line, Replies& replies) {
    log_->notice("OpenVPN: " + printableForLog(line, loggedLineLimit));
    // Set before openvpn routes anything into the tunnel, so before the application can see it.
    if (push_.take(line) && push_.complete && parts_.network) parts_.network->tunnelUp(this, push_);
    if (const auto gateway = gatewayIn(line)) {
        gateway_ = gateway;
        log_->notice("ROUTE " + gateway->text());
    }
    if (contains(line, connectedMarker)) {
        log_->notice("OpenVPN Connected");
        replies.push_back(connectedReply());
    }
    for (const auto marker : dropMarkers) {
        if (!contains(line, marker)) continue;
        log_->notice("OpenVPN connection dropped " + printableForLog(line, loggedLineLimit));
        stopLocked();
        replies.push_back(endedReply());
        break;
    }
}

void OpenVpnRun::takeStandardError(std::string_view chunk) {
    if (chunk.empty()) {
        // The end of the error stream only ends the watching of it.
        if (const auto rest = errorDecoder_.finish(); !rest.empty()) {
            log_->notice("OpenVPN Error: " + printableForLog(rest, loggedLineLimit));
        }
        return;
    }
    output_.append(chunk);
    const std::string text = errorDecoder_.decode(chunk);
    if (text.empty()) return;
    log_->notice("OpenVPN Error: " + printableForLog(text, loggedLineLimit));
    // Only a chunk that is the prompt and nothing else gets an answer.
    if (chunk == usernamePrompt) {
        log_->notice("OpenVPN Setting Username");
        answerPrompt("user name", parts_.userName);
    } else if (chunk == passwordPrompt) {
        log_->notice("OpenVPN Setting Password");
        answerPrompt("password", parts_.password);
    }
}

void OpenVpnRun::answerPrompt(const std::string& name, const std::optional<std::string>& value) {
    if (!parts_.input) return;
    if (auto written = parts_.input->write(value.value_or("") + "\n"); !written) {
        log_->notice("Cannot give openvpn the " + name + ": " + written.error().message);
    }
}

void OpenVpnRun::onExit(ProcessExit exit) {
    TextArrayReply reply;
    std::vector<std::string> ended;
    {
        std::lock_guard lock(mutex_);
        exited_ = true;
        log_->notice("OpenVPN Terminated" + (exit.signal != 0 ? " by signal " + std::to_string(exit.signal)
                                                              : " with status " + std::to_string(exit.exitStatus)));
        ended = endedReply();
        if (parts_.network) parts_.network->tunnelDown(this);
        if (parts_.input) parts_.input->closeWriter();
        parts_.folder.reset();
        reply = std::move(parts_.reply);
    }
    if (reply) reply(ended);
    if (ended_) std::exchange(ended_, nullptr)(this);
    // Letting go of the reply channel lets the caller's connection close: only now, so that a
    // caller whose call has closed finds the run no longer counted and may start the next.
    reply = nullptr;
}

void OpenVpnRun::stop() {
    std::lock_guard lock(mutex_);
    stopLocked();
}

void OpenVpnRun::stopLocked() {
    if (exited_ || pid_ < 0 || stopping_) return;
    stopping_ = true;
    if (auto sent = launcher_->signalProcessGroup(pid_, SIGTERM); !sent) {
        log_->notice(sent.error().message);
        return;
    }
    std::weak_ptr<OpenVpnRun> weak = weak_from_this();
    platform::dispatch::DispatchQueue::main()->asyncAfter(killGracePeriod, [weak] {
        if (auto run = weak.lock()) run->killIfStillRunning();
    });
}

void OpenVpnRun::killIfStillRunning() {
    std::lock_guard lock(mutex_);
    if (exited_) return;
    log_->notice("openvpn (process group " + std::to_string(pid_) + ") outlived its grace period: killing it");
    if (auto sent = launcher_->signalProcessGroup(pid_, SIGKILL); !sent) log_->notice(sent.error().message);
}

std::vector<std::string> OpenVpnRun::connectedReply() const {
    std::vector<std::string> reply{"connected", "OpenVPN ended with output:" + output_.text() + "\n"};
    if (gateway_) reply.push_back(gateway_->text());
    return reply;
}

std::vector<std::string> OpenVpnRun::endedReply() const {
    return {"ended", "OpenVPN ended with output:" + output_.text() + "\n"};
}

void OpenVpnRun::send(const Replies& replies) const {
    if (replies.empty()) return;
    TextArrayReply reply;
    {
        std::lock_guard lock(mutex_);
        reply = parts_.reply;
    }
    if (!reply) return;
    for (const auto& texts : replies) reply(texts);
}

}  // namespace corvantis::helper
