#pragma once

#include "HelperService/CorvantisHelperInterface/HelperCall.hpp"

#include <filesystem>
#include <nlohmann/json.hpp>
#include <vector>

namespace corvantis::testing {

// Sends one call over a raw connection and reads every reply until the helper closes the
// connection, which it does once the call's work is complete.
std::vector<nlohmann::json> callUntilDone(const std::filesystem::path& socket, const helper::HelperCall& call);

// The text of the first reply of a finished call, "<no reply>" or "<no text>".
std::string firstText(const std::vector<nlohmann::json>& replies);

}  // namespace corvantis::testing
