#pragma once

#include "platform/dispatch/Clock.hpp"

#include <optional>

namespace corvantis::zip {

// An entry's modification time as the archive stores it: local calendar fields with the full
// year and months counted from 0. The zip format can only hold 1980 to 2107, so a time outside
// that range is moved to the nearest end of it; no time at all gives all fields zero.
struct EntryDate {
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;

    static EntryDate fromModificationTime(std::optional<platform::dispatch::WallTime> time);
};

}  // namespace corvantis::zip
