#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/ThreadLocalObject.hpp"

#include <chrono>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// Formats and strictly parses dates with the date-pattern letters the application uses:
// y (year), M (month; MMM/MMMM give English names), d (day), H (hour 0–23), h (hour 1–12),
// m (minute), s (second), S (fraction, truncated), a (AM/PM), E (weekday name).
// Text in single quotes and every other character stand for themselves. Digits are ASCII;
// times are in the local time zone unless the formatter is set to UTC.
class DateFormatter {
public:
    // Throws std::invalid_argument for a letter outside the set above: patterns are constants.
    explicit DateFormatter(std::string pattern, bool utc = false);

    const std::string& dateFormat() const { return pattern_; }

    std::string string(dispatch::WallTime date) const;
    // Appends the date's text to `text`, saving a string of its own on busy paths.
    void append(dispatch::WallTime date, std::string& text) const;
    // The date's text, kept by the calling thread until it formats its next date (with any
    // formatter), for busy paths that copy it at once. Once the thread's objects are gone (see
    // `ThreadLocalObject`) it is made in `spare`. The text the thread kept is checked here, inline:
    // a log line nearly always finds it still holds.
    std::string_view text(dispatch::WallTime date, std::string& spare) const {
        auto* kept = dispatch::ThreadLocalObject<SecondText>::get();
        if (kept && isFor(kept->key) && kept->textDates.holds(date)) return kept->text;
        return textAnew(kept, date, spare);
    }
    // A moment anywhere in the years a pattern can name (up to nine digits), which a
    // nanosecond count of `WallTime` cannot hold beyond the year 2262.
    struct Moment {
        std::int64_t secondsSinceEpoch = 0;
        std::int32_t nanoseconds = 0;
        auto operator<=>(const Moment&) const = default;
    };

    // The moment the text names, or none unless the whole text matches the pattern and names a
    // real moment (no 31 April, no hour 24).
    std::optional<Moment> moment(std::string_view text) const;
    // The same as a `WallTime`; none also when the moment lies outside the years it can hold.
    std::optional<dispatch::WallTime> date(std::string_view text) const;

private:
    struct Field {
        char letter = 0;  // 0 for literal text
        int width = 0;
        std::string literal;
    };

    // The dates from `from` for `length`, both in nanoseconds since the epoch.
    struct DateSpan {
        std::uint64_t from = 0;
        std::uint64_t length = 0;

        static std::uint64_t nanosecondsSinceEpoch(dispatch::WallTime date) {
            return static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(date.time_since_epoch()).count());
        }
        // Unsigned, so dates far apart cannot overflow: one before `from` wraps to a large number.
        bool holds(dispatch::WallTime date) const { return nanosecondsSinceEpoch(date) - from < length; }
    };
    struct SecondKey {
        std::uint64_t formatter = 0;
        std::time_t time = 0;
        const char* zoneName = nullptr;
        long zoneOffset = 0;
    };
    static constexpr std::uint64_t nanosecondsPerSecond = 1'000'000'000;
    // The text of the last date a thread formatted, with what it holds for.
    struct SecondText {
        SecondKey key;
        DateSpan second;                                     // the dates of `key.time`
        std::string text;                                    // the second's text with fraction digits at the recorded places
        std::vector<std::pair<std::size_t, int>> fractions;  // place and width
        std::uint64_t unit = 0;                              // nanoseconds of the finest fraction shown (a second if none)
        DateSpan textDates;                                  // the dates `text` is the text of: one `unit`
    };

    // Whether a text made with `key` is this formatter's in the zone `tzset` last loaded.
    bool isFor(const SecondKey& key) const {
        return key.formatter == id_ && key.zoneName == tzname[0] && key.zoneOffset == timezone;
    }
    // The date's text made in `kept` for the dates after it, or in `spare` without `kept`.
    std::string_view textAnew(SecondText* kept, dispatch::WallTime date, std::string& spare) const;
    std::string_view textIn(SecondText& kept, dispatch::WallTime date) const;
    void formatSecond(std::time_t time, SecondText& second) const;

    std::string pattern_;
    bool utc_;
    std::uint64_t id_;  // tells formatters apart in the per-thread cache
    std::vector<Field> fields_;
};

}  // namespace platform::foundation
