#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"

#include <cstddef>

namespace corvantis {

// Texts of a report beyond this many bytes (a reply body may run to megabytes) keep their start
// only, followed by `cutMarker` and the text's full length: "… [cut from 8388608 bytes]".
inline constexpr std::size_t longestReportedText = 16 * 1024;
inline constexpr const char* cutMarker = "… [cut from ";

// The crash reporter's last look at every event. Long texts are cut first, so that masking a
// reply of megabytes costs no more than one of kilobytes. Then every secret the client holds (the
// account's password as typed and as stored, access tokens, VPN passwords, OpenVPN profiles,
// whatever the keychain handed out) and every one the event names itself (bearer tokens, the
// values of reply members such as "access_token", "refresh_token" or "freeradius_pass", read
// from the raw text, so a body that does not parse hides none) is masked wherever it appears, as
// it is, as JSON escapes it, URL-encoded and in Base64: message, contexts, extras, breadcrumbs
// and user; a secret member's value is masked whatever it holds. The extras'
// "request.httpBody" (read as its plain text, an absent one as "nil") also loses the user name.
// The device id stays: it is the reports' user id, which the user quotes to support. Never
// drops an event. Safe from any thread; the reporter runs it off the main queue.
platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event);

}  // namespace corvantis
