#pragma once

#include "platform/foundation/HTTPURLResponse.hpp"

#include <memory>
#include <optional>
#include <string>

namespace platform::foundation {

// A user name and password for a server that asks for them.
struct URLCredential {
    std::string user;
    std::string password;
};

// Where a challenge comes from: the server and the way it wants to be answered.
struct URLProtectionSpace {
    static constexpr const char* authenticationMethodHTTPBasic = "NSURLAuthenticationMethodHTTPBasic";

    std::string host;
    int port = 0;
    std::string protocol;
    std::optional<std::string> realm;
    std::string authenticationMethod = authenticationMethodHTTPBasic;
};

class URLAuthenticationChallenge;

// Whoever raised a challenge, and takes its answer.
class URLAuthenticationChallengeSender {
public:
    virtual ~URLAuthenticationChallengeSender() = default;

    // Sends the request again with `credential`.
    virtual void useCredential(const URLCredential& credential, const URLAuthenticationChallenge& challenge) = 0;
    // Goes on without one: the server's refusal becomes the response.
    virtual void continueWithoutCredentialForAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
    // Gives up: the transfer fails with `URLError::userCancelledAuthentication`.
    virtual void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) = 0;
};

// A server's demand for credentials before it answers a request.
class URLAuthenticationChallenge {
public:
    URLProtectionSpace protectionSpace;
    // How many credentials this transfer has already had refused.
    long previousFailureCount = 0;
    // The refusal that raised the challenge.
    std::optional<HTTPURLResponse> failureResponse;
    std::shared_ptr<URLAuthenticationChallengeSender> sender;
};

}  // namespace platform::foundation
