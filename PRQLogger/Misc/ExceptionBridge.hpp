#pragma once

#include "PRQLogger/Misc/FunctionRef.hpp"
#include "platform/foundation/Exception.hpp"

#include <optional>
#include <string>

namespace prq {

// Runs `work`; a platform exception raised inside it goes to `catchClosure` and counts as
// handled. `finally` runs in every case, also before an unhandled exception (of another kind,
// or raised by `catchClosure`) leaves the call; one raised by `finally` leaves in its place.
// Every log line is written through it, so it borrows its closures rather than copying them.
void _try(FunctionRef<void()> work, FunctionRef<void(const platform::foundation::Exception&)> catchClosure,
          std::optional<FunctionRef<void()>> finally = std::nullopt);

// Raises a platform exception; its reason is `message`, or the name again when there is none.
[[noreturn]] void _throw(const std::string& name, const std::optional<std::string>& message = std::nullopt,
                         const std::optional<platform::foundation::Exception::UserInfo>& userInfo = std::nullopt);

}  // namespace prq
