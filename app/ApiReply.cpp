#include "app/ApiReply.hpp"

#include "app/HeldSecrets.hpp"
#include "app/JsonValue.hpp"
#include "app/SecretMembers.hpp"
#include "platform/foundation/JSONSerialization.hpp"

namespace corvantis {

namespace {
// The values of a "hint" object as one text: texts as they are, other values in their JSON form.
std::string joinedHints(const nlohmann::json& hint) {
    std::string joined;
    for (const auto& value : hint) {
        if (!joined.empty()) joined += ". ";
        joined += value.is_string() ? value.get<std::string>() : value.dump();
    }
    return joined;
}

// A reply's tokens are held from the moment they arrive, before anything takes them as valid.
void rememberSecrets(const nlohmann::json& object) {
    for (const auto name : SecretMembers::names) {
        if (auto secret = JsonValue::stringMember(object, std::string(name))) HeldSecrets::remember(*secret);
    }
}
}  // namespace

ApiReply ApiReply::classify(std::string_view data, ApiRequestInfo& info, const BodyReader& reader) {
    ApiReply reply;
    if (reader) {
        // Taken as read: `info` is only ever reported for a failure, so it is not filled.
        if (auto read = reader(data); read && read->is_object() && !failureOf(*read)) {
            rememberSecrets(*read);
            reply.jsonData = std::move(*read);
            return reply;
        }
    }
    info.set("response.data", std::string(data));
    auto parsed = platform::foundation::JSONSerialization::jsonObject(data);
    if (!parsed) {
        reply.failure = ApiServiceError::error(parsed.error().message);
        return reply;
    }
    if (!parsed.value().is_object()) {
        reply.failure = ApiServiceError::jsonError("data");
        return reply;
    }
    reply.jsonData = std::move(parsed.value());
    rememberSecrets(reply.jsonData);
    info.setRendering("result.jsonData", reply.jsonData);
    reply.failure = failureOf(reply.jsonData);
    return reply;
}

std::optional<ApiServiceError> ApiReply::failureOf(const nlohmann::json& object) {
    const auto message = JsonValue::stringMember(object, "message");
    if (object.contains("error")) {
        if (!message) return ApiServiceError::jsonError("message");
        if (const auto* hint = JsonValue::member(object, "hint"); hint != nullptr && hint->is_object()) {
            return ApiServiceError::error(joinedHints(*hint));
        }
        return ApiServiceError::error(*message);
    }
    if (object.contains("status")) {
        const auto status = JsonValue::stringMember(object, "status");
        if (!status) return ApiServiceError::jsonError("status");
        if (*status == "maintenance") {
            if (!message) return ApiServiceError::jsonError("message");
            return ApiServiceError::errorAsIs(*message);
        }
        return std::nullopt;
    }
    if (object.size() == 1 && object.contains("message")) {
        if (!message) return ApiServiceError::jsonError("message");
        return ApiServiceError::error(*message);
    }
    return std::nullopt;
}

}  // namespace corvantis
