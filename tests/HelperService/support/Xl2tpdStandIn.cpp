#include "support/Xl2tpdStandIn.hpp"

#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvantis::testing {

Xl2tpdStandIn::Xl2tpdStandIn(std::filesystem::path controlFifo, std::filesystem::path pppPidFile, std::string interface)
    : controlFifo_(std::move(controlFifo)), pppPidFile_(std::move(pppPidFile)), interface_(std::move(interface)) {
    ::mkfifo(controlFifo_.c_str(), 0600);
    // Open before the constructor returns, so that xl2tpd reads as listening from then on; read
    // and write, so that the FIFO never reads as ended between two writers.
    const int fd = ::open(controlFifo_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    thread_ = std::thread([this, fd] { serve(fd); });
}

Xl2tpdStandIn::~Xl2tpdStandIn() {
    stopping_ = true;
    thread_.join();
}

std::vector<std::string> Xl2tpdStandIn::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

void Xl2tpdStandIn::dropSession() {
    std::lock_guard lock(mutex_);
    sessionUp_ = false;
    std::filesystem::remove(pppPidFile_);
}

std::string Xl2tpdStandIn::answer(const std::string& command) {
    std::lock_guard lock(mutex_);
    commands_.push_back(command);
    const int up = sessionUp_ ? 1 : 0;
    if (command == "c corvantis") {
        sessionUp_ = true;
        std::ofstream(pppPidFile_) << "4242\n" << interface_ << "\n";
        return "00 OK\n";
    }
    if (command == "d corvantis") {
        if (!sessionUp_) return "01 Session 'corvantis' not up\n";
        sessionUp_ = false;
        std::filesystem::remove(pppPidFile_);
        return "00 OK\n";
    }
    if (command == "x") {
        return "00 OK\n00 AVAILABLE tunnels count=" + std::to_string(up) + "\n00 AVAILABLE calls count=" + std::to_string(up) +
               "\n";
    }
    return "01 Unknown command\n";
}

void Xl2tpdStandIn::serve(int fd) {
    std::string pending;
    while (fd >= 0 && !stopping_) {
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, 20) <= 0) continue;
        char buffer[512];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0) continue;
        pending.append(buffer, static_cast<size_t>(got));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.starts_with("@")) continue;
            const auto space = line.find(' ');
            const std::string result = line.substr(1, space - 1);
            const std::string reply = answer(space == std::string::npos ? "" : line.substr(space + 1));
            const int out = ::open(result.c_str(), O_WRONLY | O_CLOEXEC);
            if (out < 0) continue;
            (void)!::write(out, reply.data(), reply.size());
            ::close(out);
            ::unlink(result.c_str());
        }
    }
    if (fd >= 0) ::close(fd);
}

}  // namespace corvantis::testing
