// Dates as the backend writes them, read with every pattern the application parses, in zones
// whose clocks skip an hour at midnight (Santiago) and a whole day (Apia) as well as in UTC.

#include "platform/foundation/DateFormatter.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using platform::foundation::DateFormatter;
    static const DateFormatter patterns[] = {DateFormatter("yyyy-MM-dd"), DateFormatter("yyyy-MM-dd HH:mm:ss.SSS"),
                                             DateFormatter("y-M-d h:m:s a", true), DateFormatter("ddMMyyyyHHmm")};
    const auto& day = patterns[0];
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    bool dayReadInUtc = false;
    for (const std::string_view zone : {"UTC", "America/Santiago", "Pacific/Apia"}) {
        ::setenv("TZ", zone.data(), 1);
        ::tzset();
        // Santiago's clocks skip at most an hour, never a whole day, so every day has a moment there.
        if (zone == "UTC") dayReadInUtc = day.moment(text).has_value();
        if (zone == "America/Santiago") FUZZ_CHECK(!dayReadInUtc || day.moment(text));
        for (const auto& formatter : patterns) {
            const auto moment = formatter.moment(text);
            const auto date = formatter.date(text);
            // A date is only ever the moment itself, never a wrapped one.
            FUZZ_CHECK(!date || moment);
            if (date) FUZZ_CHECK(formatter.moment(formatter.string(*date)) == moment);
        }
        // A day's moment is the first one the clocks show that date at, also when they skip its
        // midnight; a day they skip whole has none.
        if (const auto date = day.date(text)) {
            FUZZ_CHECK(day.string(*date) == text);
            FUZZ_CHECK(day.string(*date - std::chrono::seconds(1)) != text);
        }
    }
    return 0;
}
