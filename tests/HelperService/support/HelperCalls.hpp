#pragma once

#include "HelperService/CorvantisHelperInterface/HelperCall.hpp"

#include "platform/foundation/FileDescriptor.hpp"

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <vector>

namespace corvantis::testing {

// One call over a raw connection whose replies the test reads one by one as they come.
class ReplyStream {
public:
    ReplyStream(const std::filesystem::path& socket, const helper::HelperCall& call);

    // The next reply; none once the helper has closed the connection. Throws when nothing comes
    // within patience(`limit`).
    std::optional<nlohmann::json> next(std::chrono::seconds limit = std::chrono::seconds(30));

private:
    platform::foundation::FileDescriptor connection_;
};

// Sends one call over a raw connection and reads every reply until the helper closes the
// connection, which it does once the call's work is complete.
std::vector<nlohmann::json> callUntilDone(const std::filesystem::path& socket, const helper::HelperCall& call);

// The text of the first reply of a finished call, "<no reply>" or "<no text>".
std::string firstText(const std::vector<nlohmann::json>& replies);

}  // namespace corvantis::testing
