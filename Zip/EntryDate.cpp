#include "Zip/EntryDate.hpp"

#include <chrono>
#include <ctime>

namespace corvantis::zip {

namespace {
constexpr EntryDate earliest{1980, 0, 1, 0, 0, 0};
constexpr EntryDate latest{2107, 11, 31, 23, 59, 58};
}  // namespace

EntryDate EntryDate::fromModificationTime(std::optional<platform::dispatch::WallTime> time) {
    if (!time) return EntryDate{};
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(*time));
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr) return EntryDate{};
    const int year = local.tm_year + 1900;
    if (year < 1980) return earliest;
    if (year > 2107) return latest;
    return EntryDate{static_cast<unsigned>(year),          static_cast<unsigned>(local.tm_mon),
                     static_cast<unsigned>(local.tm_mday), static_cast<unsigned>(local.tm_hour),
                     static_cast<unsigned>(local.tm_min),  static_cast<unsigned>(local.tm_sec)};
}

}  // namespace corvantis::zip
