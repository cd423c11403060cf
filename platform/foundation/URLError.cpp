#include "platform/foundation/URLError.hpp"

namespace platform::foundation::URLError {

namespace {
const char* descriptionOf(Code code) {
    switch (code) {
        case cancelled: return "cancelled";
        case badURL: return "The URL is not valid.";
        case timedOut: return "The request timed out.";
        case unsupportedURL: return "unsupported URL";
        case cannotFindHost: return "A server with the specified hostname could not be found.";
        case cannotConnectToHost: return "Could not connect to the server.";
        case networkConnectionLost: return "The network connection was lost.";
        case dnsLookupFailed: return "The DNS lookup failed.";
        case httpTooManyRedirects: return "too many HTTP redirects";
        case notConnectedToInternet: return "The Internet connection appears to be offline.";
        case userCancelledAuthentication: return "The user cancelled authentication.";
        case appTransportSecurityRequiresSecureConnection:
            return "The resource could not be loaded because the App Transport Security policy requires the use of a "
                   "secure connection.";
        case dataLengthExceedsMaximum: return "resource exceeds maximum size";
        case secureConnectionFailed: return "An SSL error has occurred and a secure connection to the server cannot be made.";
        case serverCertificateUntrusted: return "The certificate for this server is invalid.";
        case unknown: break;
    }
    return "An unknown error occurred.";
}
}  // namespace

DomainError make(Code code) {
    return DomainError{domain, code, descriptionOf(code)};
}

}  // namespace platform::foundation::URLError
