#pragma once

#include "platform/foundation/DomainError.hpp"

namespace platform::foundation::URLError {

inline constexpr const char* domain = "NSURLErrorDomain";

// The URL-loading error codes this system reports, with the values callers compare against.
enum Code : long {
    unknown = -1,
    cancelled = -999,
    badURL = -1000,
    timedOut = -1001,
    unsupportedURL = -1002,
    cannotFindHost = -1003,
    cannotConnectToHost = -1004,
    networkConnectionLost = -1005,
    dnsLookupFailed = -1006,
    httpTooManyRedirects = -1007,
    notConnectedToInternet = -1009,
    userCancelledAuthentication = -1012,
    appTransportSecurityRequiresSecureConnection = -1022,
    dataLengthExceedsMaximum = -1103,
    secureConnectionFailed = -1200,
    serverCertificateUntrusted = -1202,
};

// The error of `code` in the URL domain with its usual description ("The request timed out." …).
DomainError make(Code code);

}  // namespace platform::foundation::URLError
