#include "support/HelperCalls.hpp"

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"

#include <stdexcept>
#include <sys/socket.h>

namespace corvantis::testing {

std::vector<nlohmann::json> callUntilDone(const std::filesystem::path& socket, const helper::HelperCall& call) {
    auto address = platform::xpc::unixSocketAddress(socket);
    platform::foundation::FileDescriptor connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!address ||
        ::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0 ||
        !platform::xpc::writeMessage(connection.get(), helper::HelperWireCodec::encodeCall(call))) {
        throw std::runtime_error("cannot call the helper at " + socket.string());
    }
    const timeval limit{30, 0};
    ::setsockopt(connection.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    std::vector<nlohmann::json> replies;
    for (;;) {
        auto reply = platform::xpc::readMessage(connection.get());
        if (!reply) throw std::runtime_error(reply.error().message);
        if (!reply.value()) return replies;
        replies.push_back(std::move(*reply.value()));
    }
}

std::string firstText(const std::vector<nlohmann::json>& replies) {
    if (replies.empty()) return "<no reply>";
    auto text = helper::HelperWireCodec::decodeTextReply(replies.front());
    return text && text.value() ? *text.value() : "<no text>";
}

}  // namespace corvantis::testing
