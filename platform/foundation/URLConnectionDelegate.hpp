#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/foundation/HTTPURLResponse.hpp"
#include "platform/foundation/URLAuthenticationChallenge.hpp"

#include <string>

namespace platform::foundation {

class URLConnection;

// Hears what a URL connection does, on the queue the connection is scheduled on. A transfer
// ends with exactly one of `connectionDidFailWithError` and `connectionDidFinishLoading`, and
// a cancelled connection says nothing more.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;

    virtual void connectionDidReceiveResponse(URLConnection& connection, const HTTPURLResponse& response) = 0;
    virtual void connectionDidReceiveData(URLConnection& connection, const std::string& data) = 0;
    virtual void connectionDidSendBodyData(URLConnection& connection, long long bytesWritten, long long totalBytesWritten,
                                           long long totalBytesExpectedToWrite) = 0;
    virtual void connectionDidFailWithError(URLConnection& connection, const DomainError& error) = 0;
    virtual void connectionDidFinishLoading(URLConnection& connection) = 0;
    // The server wants credentials; the transfer waits until the challenge's sender is answered.
    virtual void connectionDidReceiveAuthenticationChallenge(URLConnection& connection,
                                                             const URLAuthenticationChallenge& challenge) = 0;
};

}  // namespace platform::foundation
