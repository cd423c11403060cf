#include "HelperService/CorvantisHelper/Xl2tpdControl.hpp"

#include "platform/foundation/FileDescriptor.hpp"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;
using platform::foundation::FileDescriptor;

namespace {

// Reads until xl2tpd has written and closed its end, or the time is up.
Expected<std::string> readUntilClosed(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string text;
    char buffer[1024];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Error{ETIMEDOUT, "xl2tpd did not answer in time"};
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return Error::fromErrno("Cannot wait for xl2tpd's answer");
        if (ready == 0) continue;
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            text.append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || (waiting.revents & POLLHUP) != 0) {
            return text;
        } else if (errno != EAGAIN && errno != EINTR) {
            return Error::fromErrno("Cannot read xl2tpd's answer");
        }
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// The number after `key` in a line such as "00 AVAILABLE tunnels count=1".
std::optional<int> countAfter(const std::vector<std::string>& lines, std::string_view key) {
    for (const auto& line : lines) {
        const auto at = line.find(key);
        if (at == std::string::npos) continue;
        int value = 0;
        const char* begin = line.data() + at + key.size();
        if (std::from_chars(begin, line.data() + line.size(), value).ec == std::errc{}) return value;
    }
    return std::nullopt;
}

}  // namespace

Xl2tpdControl::Xl2tpdControl(std::filesystem::path controlFifo, std::filesystem::path resultFolder)
    : controlFifo_(std::move(controlFifo)), resultFolder_(std::move(resultFolder)) {}

Expected<void> Xl2tpdControl::connectLac(const std::string& name) const {
    if (auto sent = send("c " + name); !sent) return sent.error();
    return {};
}

Expected<void> Xl2tpdControl::disconnectLac(const std::string& name) const {
    if (auto sent = send("d " + name); !sent) return sent.error();
    return {};
}

Expected<Xl2tpdControl::Counts> Xl2tpdControl::available() const {
    auto lines = send("x");
    if (!lines) return lines.error();
    const auto tunnels = countAfter(lines.value(), "tunnels count=");
    const auto calls = countAfter(lines.value(), "calls count=");
    if (!tunnels || !calls) return Error{EPROTO, "xl2tpd's availability answer holds no tunnel and call counts"};
    return Counts{*tunnels, *calls};
}

Expected<std::vector<std::string>> Xl2tpdControl::send(std::string_view command) const {
    struct stat control {};
    if (::lstat(controlFifo_.c_str(), &control) != 0) return Error::fromErrno("xl2tpd has no control FIFO yet");
    if (!S_ISFIFO(control.st_mode)) return Error{EINVAL, controlFifo_.string() + " is not a FIFO"};

    const auto result = resultFolder_ / ("xl2tpd-result-" + std::to_string(nextResult_++));
    ::unlink(result.c_str());
    if (::mkfifo(result.c_str(), 0600) != 0) return Error::fromErrno("Cannot make a FIFO for xl2tpd's answer");
    // Open before asking, so that xl2tpd finds a reader; xl2tpd removes the name once it has answered.
    FileDescriptor reader(::open(result.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    auto answer = [&]() -> Expected<std::string> {
        if (!reader.isOpen()) return Error::fromErrno("Cannot open the FIFO for xl2tpd's answer");
        FileDescriptor writer(::open(controlFifo_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        if (!writer.isOpen()) return Error::fromErrno("xl2tpd is not listening on its control FIFO");
        const std::string line = "@" + result.string() + " " + std::string(command) + "\n";
        if (::write(writer.get(), line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            return Error::fromErrno("Cannot write to xl2tpd's control FIFO");
        }
        return readUntilClosed(reader.get(), replyTimeLimit);
    }();
    ::unlink(result.c_str());
    if (!answer) return answer.error();
    auto lines = linesOf(answer.value());
    if (lines.empty()) return Error{EPROTO, "xl2tpd gave no answer"};
    if (!lines.front().starts_with("00")) {
        const auto text = lines.front().size() > 3 ? lines.front().substr(3) : lines.front();
        return Error{EPROTO, "xl2tpd: " + text};
    }
    return lines;
}

}  // namespace corvantis::helper
