// Dates as the backend writes them, read with every pattern the application parses.

#include "platform/foundation/DateFormatter.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using platform::foundation::DateFormatter;
    static const DateFormatter patterns[] = {DateFormatter("yyyy-MM-dd"), DateFormatter("yyyy-MM-dd HH:mm:ss.SSS"),
                                             DateFormatter("y-M-d h:m:s a", true), DateFormatter("ddMMyyyyHHmm")};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& formatter : patterns) {
        const auto moment = formatter.moment(text);
        const auto date = formatter.date(text);
        // A date is only ever the moment itself, never a wrapped one.
        FUZZ_CHECK(!date || moment);
        if (date) FUZZ_CHECK(formatter.moment(formatter.string(*date)) == moment);
    }
    return 0;
}
