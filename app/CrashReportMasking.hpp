#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"

namespace corvantis {

// The crash reporter's last look at every event: hides the signed-in password and user name in
// the request body that a failed backend call left in the extras, and the password in every
// other text of the event (message, contexts, extras, breadcrumbs). The body is read as its plain
// text (an absent one as "nil"), so a password holding quotes or backslashes is found as typed.
// Never drops an event. Safe from any thread.
platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event);

}  // namespace corvantis
