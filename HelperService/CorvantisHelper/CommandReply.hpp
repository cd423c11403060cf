#pragma once

#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"

#include <atomic>
#include <string_view>

namespace corvantis::helper {

// The replies to one command line. Passes each on, from any thread, and makes sure the caller
// hears at least once: a command that printed nothing still answers with the empty text.
class CommandReply {
public:
    explicit CommandReply(TextReply reply) : reply_(std::move(reply)) {}

    // Output bytes as a reply: the text, or no text when they are not valid UTF-8.
    void sendOutput(std::string_view bytes);
    // Sends the empty text unless something was sent already.
    void finish();

private:
    TextReply reply_;
    std::atomic<bool> sent_{false};
};

}  // namespace corvantis::helper
