// A minimal client of the helper's socket for tests that must call from another process or
// another user: sends one JSON message and prints the first reply.
//   helper_test_client SOCKET MESSAGE
// Exit status: 0 a reply was printed, 3 the helper closed without replying, 2 anything failed.

#include "platform/xpc/XpcClientConnection.hpp"

#include <nlohmann/json.hpp>

#include <chrono>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: helper_test_client SOCKET MESSAGE\n";
        return 2;
    }
    auto message = nlohmann::json::parse(argv[2], nullptr, false);
    if (message.is_discarded()) {
        std::cerr << "the message is not JSON\n";
        return 2;
    }
    auto connection = platform::xpc::XpcClientConnection::connect(argv[1]);
    if (!connection) {
        std::cerr << connection.error().message << "\n";
        return 2;
    }
    if (auto sent = connection.value().send(message); !sent) {
        std::cerr << sent.error().message << "\n";
        return 2;
    }
    auto reply = connection.value().receiveFirstReply(std::chrono::seconds(120));
    if (!reply) {
        std::cerr << reply.error().message << "\n";
        return 2;
    }
    if (!reply.value()) return 3;
    std::cout << reply.value()->dump() << "\n";
    return 0;
}
