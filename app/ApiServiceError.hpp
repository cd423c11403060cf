#pragma once

#include "platform/foundation/DomainError.hpp"

#include <optional>
#include <string>

namespace corvantis {

// A failure of the backend client. `ApiService::errorMessage` turns it into the user's text.
struct ApiServiceError {
    enum class Kind {
        errorAsIs,  // `text` is shown unchanged
        error,      // `text` comes from the backend or the platform and is filtered before it is shown
        jsonError,  // `text` names the reply key that was missing or of the wrong type
        dataError,  // `underlying` is the transport error of a request that brought no data
    };

    Kind kind = Kind::error;
    std::string text;
    std::optional<platform::foundation::DomainError> underlying;

    static ApiServiceError errorAsIs(std::string message) { return {Kind::errorAsIs, std::move(message), std::nullopt}; }
    static ApiServiceError error(std::string message) { return {Kind::error, std::move(message), std::nullopt}; }
    static ApiServiceError jsonError(std::string key) { return {Kind::jsonError, std::move(key), std::nullopt}; }
    static ApiServiceError dataError(std::optional<platform::foundation::DomainError> transportError) {
        return {Kind::dataError, {}, std::move(transportError)};
    }

    bool operator==(const ApiServiceError&) const = default;
};

}  // namespace corvantis
