#include "support/HelperCalls.hpp"

#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "support/Patience.hpp"

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <sys/socket.h>

namespace corvantis::testing {

ReplyStream::ReplyStream(const std::filesystem::path& socket, const helper::HelperCall& call)
    : connection_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    auto address = platform::xpc::unixSocketAddress(socket);
    if (!address ||
        ::connect(connection_.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0 ||
        !platform::xpc::writeMessage(connection_.get(), helper::HelperWireCodec::encodeCall(call))) {
        throw std::runtime_error("cannot call the helper at " + socket.string());
    }
}

std::optional<nlohmann::json> ReplyStream::next(std::chrono::seconds limit) {
    const auto bound = std::chrono::duration_cast<std::chrono::seconds>(patience(limit));
    const timeval wait{static_cast<time_t>(bound.count()), 0};
    ::setsockopt(connection_.get(), SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    auto reply = platform::xpc::readMessage(connection_.get());
    if (!reply) throw std::runtime_error(reply.error().message);
    return std::move(reply.value());
}

std::vector<nlohmann::json> callUntilDone(const std::filesystem::path& socket, const helper::HelperCall& call) {
    ReplyStream stream(socket, call);
    std::vector<nlohmann::json> replies;
    while (auto reply = stream.next()) replies.push_back(std::move(*reply));
    return replies;
}

std::string firstText(const std::vector<nlohmann::json>& replies) {
    if (replies.empty()) return "<no reply>";
    auto text = helper::HelperWireCodec::decodeTextReply(replies.front());
    return text && text.value() ? *text.value() : "<no text>";
}

}  // namespace corvantis::testing
