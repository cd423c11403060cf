#pragma once

#include "HelperService/CorvantisHelperInterface/CorvantisHelperProtocol.hpp"
#include "HelperService/CorvantisHelperInterface/HelperCall.hpp"
#include "platform/foundation/Expected.hpp"

#include <functional>
#include <nlohmann/json.hpp>

namespace corvantis::helper {

// How calls and replies of the helper protocol look as JSON messages:
//   call  {"selector": "runCommand:withReply:", "arguments": ["route -n ..."], "reply": true}
//   reply {"reply": "text"}  ({"reply": null} for no text or no array)
namespace HelperWireCodec {

nlohmann::json encodeCall(const HelperCall& call);

// Checks the selector, the number and kind of the arguments; the error never quotes a value,
// since calls can carry passwords.
platform::foundation::Expected<HelperCall> decodeCall(const nlohmann::json& message);

// A text that is not valid UTF-8 becomes "no text".
nlohmann::json encodeTextReply(const std::optional<std::string>& text);
nlohmann::json encodeTextArrayReply(const std::optional<std::vector<std::string>>& texts);
nlohmann::json encodeCodeReply(int code);

platform::foundation::Expected<std::optional<std::string>> decodeTextReply(const nlohmann::json& reply);
platform::foundation::Expected<std::optional<std::vector<std::string>>> decodeTextArrayReply(const nlohmann::json& reply);
platform::foundation::Expected<int> decodeCodeReply(const nlohmann::json& reply);

// Where the replies of one delivered call go, already encoded.
using ReplyChannel = std::function<void(const nlohmann::json& reply)>;

// Calls the protocol method that `call` names. Its reply block encodes each reply for
// `channel`; a call without a reply block (or without a channel) gets none.
void deliver(const HelperCall& call, CorvantisHelperProtocol& receiver, ReplyChannel channel);

}  // namespace HelperWireCodec

}  // namespace corvantis::helper
