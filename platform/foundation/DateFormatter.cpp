#include "platform/foundation/DateFormatter.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <charconv>
#include <ctime>
#include <stdexcept>
#include <string_view>
#include <tuple>

namespace platform::foundation {

namespace {
constexpr std::array<const char*, 12> monthNames = {"January", "February", "March",     "April",   "May",      "June",
                                                    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> weekdayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                     "Thursday", "Friday", "Saturday"};

// Appends the number with at least `width` digits (zeros in front). Dates are formatted on
// every log line, so this builds no strings of its own.
void appendPadded(std::string& text, long long value, int width) {
    char digits[24];
    const auto count = static_cast<int>(std::to_chars(digits, digits + sizeof digits, value < 0 ? -value : value).ptr - digits);
    if (value < 0) text += '-';
    if (count < width) text.append(static_cast<std::size_t>(width - count), '0');
    text.append(digits, static_cast<std::size_t>(count));
}

// The first `width` digits of the fraction of a second, zeros past the ninth; returns the end.
char* writeFraction(char* out, long long nanoseconds, int width) {
    constexpr long long scale[] = {1'000'000'000, 100'000'000, 10'000'000, 1'000'000, 100'000, 10'000, 1'000, 100, 10, 1};
    const int digits = std::min(width, 9);
    long long value = nanoseconds / scale[digits];
    for (int i = digits - 1; i >= 0; --i, value /= 10) out[i] = static_cast<char>('0' + value % 10);
    return std::fill_n(out + digits, width - digits, '0');
}

std::string nameText(const char* name, int width) {
    std::string text(name);
    return width == 4 ? text : text.substr(0, 3);
}

bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

std::tm brokenDown(std::time_t time, bool utc) {
    std::tm parts{};
    if (utc) {
        gmtime_r(&time, &parts);
    } else {
        localtime_r(&time, &parts);
    }
    return parts;
}

// Whether a pattern letter names part of a time of day.
bool namesTimeOfDay(char letter) {
    return letter != 0 && std::string_view("HhmsSa").find(letter) != std::string_view::npos;
}

// The first moment whose local date is the given one (`std::tm`'s years and months), searched for
// around `near`; none when the clocks skip the whole day.
std::optional<std::time_t> firstMomentOfLocalDay(int year, int month, int day, std::time_t near) {
    constexpr std::time_t secondsPerDay = 86400;
    const auto dateAt = [](std::time_t time) {
        const std::tm parts = brokenDown(time, false);
        return std::tuple(parts.tm_year, parts.tm_mon, parts.tm_mday);
    };
    const auto wanted = std::tuple(year, month, day);
    // Two days either way the clocks show another date, whatever they did in between.
    std::time_t before = near - 2 * secondsPerDay;
    std::time_t onOrAfter = near + 2 * secondsPerDay;
    while (onOrAfter - before > 1) {
        const std::time_t middle = before + (onOrAfter - before) / 2;
        (dateAt(middle) >= wanted ? onOrAfter : before) = middle;
    }
    if (dateAt(onOrAfter) != wanted) return std::nullopt;
    return onOrAfter;
}

std::atomic<std::uint64_t> nextFormatterId{1};

int daysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}
}  // namespace

DateFormatter::DateFormatter(std::string pattern, bool utc)
    : pattern_(std::move(pattern)), utc_(utc), id_(nextFormatterId.fetch_add(1, std::memory_order_relaxed)) {
    const std::string_view supported = "yMdHhmsSaE";
    std::size_t i = 0;
    auto appendLiteral = [&](std::string_view text) {
        if (fields_.empty() || fields_.back().letter != 0) fields_.push_back(Field{});
        fields_.back().literal += text;
    };
    while (i < pattern_.size()) {
        const char c = pattern_[i];
        if (c == '\'') {
            const auto close = pattern_.find('\'', i + 1);
            if (close == i + 1) {
                appendLiteral("'");  // '' is a quote mark
                i += 2;
                continue;
            }
            const auto end = close == std::string::npos ? pattern_.size() : close;
            appendLiteral(std::string_view(pattern_).substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (std::isalpha(static_cast<unsigned char>(c))) {
            if (supported.find(c) == std::string_view::npos) {
                throw std::invalid_argument("Unsupported date pattern letter '" + std::string(1, c) + "' in " + pattern_);
            }
            int width = 0;
            while (i < pattern_.size() && pattern_[i] == c) {
                ++width;
                ++i;
            }
            fields_.push_back(Field{c, width, {}});
            continue;
        }
        appendLiteral(std::string_view(&pattern_[i], 1));
        ++i;
    }
}

std::string DateFormatter::string(dispatch::WallTime date) const {
    std::string text;
    append(date, text);
    return text;
}

// Log lines format dates many times a second: each thread keeps the text of the last date it
// formatted, which holds until the finest fraction of a second it shows moves on; within its
// second only the fractions change. The zone that `tzset` last loaded is part of the key, so a
// change of zone shows at once.
void DateFormatter::append(dispatch::WallTime date, std::string& text) const {
    std::string spare;
    text.append(this->text(date, spare));
}

std::string_view DateFormatter::textAnew(SecondText* kept, dispatch::WallTime date, std::string& spare) const {
    if (kept) return textIn(*kept, date);
    SecondText once;
    spare = textIn(once, date);
    return spare;
}

std::string_view DateFormatter::textIn(SecondText& kept, dispatch::WallTime date) const {
    if (!isFor(kept.key) || !kept.second.holds(date)) {
        const auto seconds = std::chrono::floor<std::chrono::seconds>(date.time_since_epoch());
        kept.key = SecondKey{id_, static_cast<std::time_t>(seconds.count()), tzname[0], timezone};
        kept.second = {DateSpan::nanosecondsSinceEpoch(dispatch::WallTime(seconds)), nanosecondsPerSecond};
        formatSecond(kept.key.time, kept);
    }
    const auto intoSecond = DateSpan::nanosecondsSinceEpoch(date) - kept.second.from;
    for (const auto& [at, width] : kept.fractions)
        writeFraction(kept.text.data() + at, static_cast<long long>(intoSecond), width);
    kept.textDates = {kept.second.from + intoSecond / kept.unit * kept.unit, kept.unit};
    return kept.text;
}

void DateFormatter::formatSecond(std::time_t time, SecondText& second) const {
    const std::tm parts = brokenDown(time, utc_);
    std::string& text = second.text;
    text.clear();
    second.fractions.clear();
    int finestDigits = 0;
    for (const auto& field : fields_) {
        switch (field.letter) {
            case 0: text += field.literal; break;
            case 'y': {
                const int year = parts.tm_year + 1900;
                appendPadded(text, field.width == 2 ? year % 100 : year, field.width);
                break;
            }
            case 'M':
                if (field.width >= 3) {
                    text += nameText(monthNames[static_cast<std::size_t>(parts.tm_mon)], field.width);
                } else {
                    appendPadded(text, parts.tm_mon + 1, field.width);
                }
                break;
            case 'd': appendPadded(text, parts.tm_mday, field.width); break;
            case 'H': appendPadded(text, parts.tm_hour, field.width); break;
            case 'h': appendPadded(text, parts.tm_hour % 12 == 0 ? 12 : parts.tm_hour % 12, field.width); break;
            case 'm': appendPadded(text, parts.tm_min, field.width); break;
            case 's': appendPadded(text, parts.tm_sec, field.width); break;
            case 'S':
                second.fractions.emplace_back(text.size(), field.width);
                text.append(static_cast<std::size_t>(field.width), '0');
                finestDigits = std::max(finestDigits, std::min(field.width, 9));
                break;
            case 'a': text += parts.tm_hour < 12 ? "AM" : "PM"; break;
            case 'E': text += nameText(weekdayNames[static_cast<std::size_t>(parts.tm_wday)], field.width); break;
        }
    }
    second.unit = 1;
    for (int digit = finestDigits; digit < 9; ++digit) second.unit *= 10;
}

std::optional<DateFormatter::Moment> DateFormatter::moment(std::string_view text) const {
    int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    long long nanoseconds = 0;
    std::optional<int> twelveHour;
    std::optional<bool> afternoon;
    std::size_t at = 0;

    auto readNumber = [&](int minDigits, int maxDigits) -> std::optional<long long> {
        long long value = 0;
        int count = 0;
        while (count < maxDigits && at < text.size() && text[at] >= '0' && text[at] <= '9') {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++count;
        }
        if (count < minDigits) return std::nullopt;
        return value;
    };
    auto readName = [&](const auto& names, int width) -> std::optional<int> {
        for (std::size_t index = 0; index < names.size(); ++index) {
            const std::string name = nameText(names[index], width);
            if (sameLetters(text.substr(at, name.size()), name)) {
                at += name.size();
                return static_cast<int>(index);
            }
        }
        return std::nullopt;
    };

    for (const auto& field : fields_) {
        // A one-letter numeric field takes one or two digits; wider ones exactly their width.
        const int minDigits = field.width == 1 ? 1 : field.width;
        const int maxDigits = field.width == 1 ? 2 : field.width;
        std::optional<long long> number;
        switch (field.letter) {
            case 0:
                if (text.substr(at, field.literal.size()) != field.literal) return std::nullopt;
                at += field.literal.size();
                continue;
            case 'y':
                number = field.width == 1 ? readNumber(1, 9) : readNumber(field.width, field.width);
                if (!number) return std::nullopt;
                year = static_cast<int>(field.width == 2 ? 2000 + *number : *number);
                continue;
            case 'M':
                if (field.width >= 3) {
                    const auto index = readName(monthNames, field.width);
                    if (!index) return std::nullopt;
                    month = *index + 1;
                    continue;
                }
                number = readNumber(minDigits, maxDigits);
                if (!number) return std::nullopt;
                month = static_cast<int>(*number);
                continue;
            case 'E':
                if (!readName(weekdayNames, field.width)) return std::nullopt;
                continue;
            case 'a':
                if (sameLetters(text.substr(at, 2), "AM")) {
                    afternoon = false;
                } else if (sameLetters(text.substr(at, 2), "PM")) {
                    afternoon = true;
                } else {
                    return std::nullopt;
                }
                at += 2;
                continue;
            case 'S': {
                const std::size_t start = at;
                number = readNumber(field.width, field.width);
                if (!number) return std::nullopt;
                std::string digits(text.substr(start, at - start));
                digits.resize(9, '0');
                nanoseconds = std::stoll(digits.substr(0, 9));
                continue;
            }
            default: break;
        }
        number = readNumber(minDigits, maxDigits);
        if (!number) return std::nullopt;
        const int value = static_cast<int>(*number);
        switch (field.letter) {
            case 'd': day = value; break;
            case 'H': hour = value; break;
            case 'h': twelveHour = value; break;
            case 'm': minute = value; break;
            case 's': second = value; break;
        }
    }
    if (at != text.size()) return std::nullopt;

    if (twelveHour) {
        if (*twelveHour < 1 || *twelveHour > 12) return std::nullopt;
        hour = *twelveHour % 12 + (afternoon.value_or(false) ? 12 : 0);
    } else if (afternoon && hour < 12 && *afternoon) {
        hour += 12;
    }
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }

    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    // Both calls fill in the weekday on success only; -1 is also a valid result, so it cannot
    // tell a failure.
    parts.tm_wday = -1;
    std::time_t time = utc_ ? timegm(&parts) : mktime(&parts);
    if (parts.tm_wday == -1) return std::nullopt;
    const bool shownAsRead = parts.tm_year == year - 1900 && parts.tm_mon == month - 1 && parts.tm_mday == day &&
                             parts.tm_hour == hour && parts.tm_min == minute;
    if (!utc_ && !shownAsRead) {
        // A local time that the clocks skip (a daylight-saving gap, a day left out) names no
        // moment. A date alone names its day, which then begins when the clocks go on.
        if (std::ranges::any_of(fields_, [](const Field& field) { return namesTimeOfDay(field.letter); })) return std::nullopt;
        const auto first = firstMomentOfLocalDay(year - 1900, month - 1, day, time);
        if (!first) return std::nullopt;
        time = *first;
    }
    return Moment{static_cast<std::int64_t>(time), static_cast<std::int32_t>(nanoseconds)};
}

std::optional<dispatch::WallTime> DateFormatter::date(std::string_view text) const {
    const auto found = moment(text);
    if (!found) return std::nullopt;
    using Seconds = std::chrono::duration<std::int64_t>;
    constexpr auto latest = std::chrono::duration_cast<Seconds>(dispatch::Duration::max()).count() - 1;
    constexpr auto earliest = std::chrono::duration_cast<Seconds>(dispatch::Duration::min()).count() + 1;
    if (found->secondsSinceEpoch > latest || found->secondsSinceEpoch < earliest) return std::nullopt;
    return dispatch::WallTime(std::chrono::seconds(found->secondsSinceEpoch)) + std::chrono::nanoseconds(found->nanoseconds);
}

}  // namespace platform::foundation
