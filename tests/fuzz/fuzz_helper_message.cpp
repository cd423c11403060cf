// What a caller can send the root helper: a frame read off its socket, the call decoded from the
// message, and a command line matched against the lines the helper runs.

#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <variant>

namespace {

void matchCommandLine(const std::string& line) {
    static const corvantis::helper::AllowedCommandLines lines("/opt/corvantis/Resources");
    const auto matched = lines.match(line);
    if (!std::holds_alternative<corvantis::helper::RootCommand>(matched)) return;
    // Nothing that could start a second command or hide one may ever pass.
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    FUZZ_CHECK(line.find('\0') == std::string::npos);
    FUZZ_CHECK(line.find('`') == std::string::npos);
    FUZZ_CHECK(line.find("$(") == std::string::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    matchCommandLine(bytes);

    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    platform::foundation::FileDescriptor writer(fds[0]);
    platform::foundation::FileDescriptor reader(fds[1]);
    std::thread sending([&] {
        (void)::send(writer.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        writer.reset();
    });
    auto message = platform::xpc::readMessage(reader.get());
    sending.join();
    if (!message || !message.value()) return 0;
    auto call = corvantis::helper::HelperWireCodec::decodeCall(*message.value());
    if (call && !call.value().arguments.empty() && call.value().arguments[0].is_string()) {
        matchCommandLine(call.value().arguments[0].get<std::string>());
    }
    return 0;
}
