#include "platform/foundation/DateFormatter.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using platform::dispatch::WallTime;
using platform::foundation::DateFormatter;

namespace {

// Runs every case in a fixed zone, so local-time expectations hold on any machine.
class DateFormatterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* zone = std::getenv("TZ")) saved_ = zone;
        ::setenv("TZ", "Europe/Berlin", 1);
        ::tzset();
    }
    void TearDown() override {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }

    // A local moment in the test zone.
    static WallTime local(int year, int month, int day, int hour, int minute, int second, int millisecond = 0) {
        std::tm parts{};
        parts.tm_year = year - 1900;
        parts.tm_mon = month - 1;
        parts.tm_mday = day;
        parts.tm_hour = hour;
        parts.tm_min = minute;
        parts.tm_sec = second;
        parts.tm_isdst = -1;
        return WallTime(std::chrono::seconds(std::mktime(&parts))) + std::chrono::milliseconds(millisecond);
    }

private:
    std::optional<std::string> saved_;
};

TEST_F(DateFormatterTest, PatternsAtMidnightNoonAndEvening) {
    const WallTime midnight = local(2026, 12, 7, 0, 5, 9, 7);
    const WallTime noon = local(2026, 12, 7, 12, 0, 0, 999);
    const WallTime evening = local(2026, 3, 1, 22, 2, 20, 123);
    const struct {
        const char* pattern;
        WallTime date;
        const char* text;
    } cases[] = {
        {"yyyy-MM-dd HH:mm:ss.SSS", midnight, "2026-12-07 00:05:09.007"},
        {"yyyy-MM-dd HH:mm:ss.SSS", noon, "2026-12-07 12:00:00.999"},
        {"yyyy-MM-dd HH:mm:ss.SSS", evening, "2026-03-01 22:02:20.123"},
        {"yyyy-MM-dd h:mm:ss", midnight, "2026-12-07 12:05:09"},
        {"yyyy-MM-dd h:mm:ss", noon, "2026-12-07 12:00:00"},
        {"yyyy-MM-dd h:mm:ss", evening, "2026-03-01 10:02:20"},
        {"yyyy-MM-dd hh:mm:ss", evening, "2026-03-01 10:02:20"},
        {"ddMMyyyyHHmm", evening, "010320262202"},
        {"ddMMyyyyHHmm", midnight, "071220260005"},
        {"MMddyy_hmm", midnight, "120726_1205"},
        {"MMddyy_hmm", evening, "030126_1002"},
        {"yyyy-MM-dd", evening, "2026-03-01"},
        {"hh", midnight, "12"},
        {"hh", noon, "12"},
        {"_yyyy-MM-dd_HHmmss", evening, "_2026-03-01_220220"},
        {"h a", evening, "10 PM"},
        {"EEE, d MMM yyyy 'at' HH", evening, "Sun, 1 Mar 2026 at 22"},
    };
    for (const auto& example : cases) {
        EXPECT_EQ(DateFormatter(example.pattern).string(example.date), example.text) << example.pattern;
    }
}

TEST_F(DateFormatterTest, FractionIsTruncatedNotRounded) {
    const WallTime date = local(2026, 12, 7, 23, 59, 59) + std::chrono::nanoseconds(999'999'999);
    EXPECT_EQ(DateFormatter("HH:mm:ss.SSS").string(date), "23:59:59.999");
    EXPECT_EQ(DateFormatter("ss.S").string(date), "59.9");
}

TEST_F(DateFormatterTest, UtcFormatterIgnoresTheLocalZone) {
    const WallTime date(std::chrono::seconds(1796680940));
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm:ss", true).string(date), "2026-12-07 22:02:20");
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm:ss").string(date), "2026-12-07 23:02:20");
}

TEST_F(DateFormatterTest, ParsesWhatItFormats) {
    for (const char* pattern : {"yyyy-MM-dd HH:mm:ss.SSS", "ddMMyyyyHHmm", "yyyy-MM-dd h:mm:ss a", "_yyyy-MM-dd_HHmmss"}) {
        const DateFormatter formatter(pattern);
        const WallTime date = local(2026, 7, 14, 12, 34, 0, 500);
        const auto parsed = formatter.date(formatter.string(date));
        ASSERT_TRUE(parsed) << pattern;
        EXPECT_EQ(formatter.string(*parsed), formatter.string(date)) << pattern;
    }
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm:ss.SSS").date("2026-12-07 22:02:20.123"), local(2026, 12, 7, 22, 2, 20, 123));
    EXPECT_EQ(DateFormatter("yyyy-MM-dd hh:mm:ss").date("2026-12-07 12:30:00"), local(2026, 12, 7, 0, 30, 0));
}

TEST_F(DateFormatterTest, StrictParsingRefusesMalformedAndImpossibleDates) {
    const DateFormatter formatter("yyyy-MM-dd HH:mm:ss");
    for (const char* text : {"", "2026-12-07", "2026-12-07 22:02:20 ", "2026-12-07 22:02:2", "2026-13-01 00:00:00",
                             "2026-04-31 00:00:00", "2025-02-29 00:00:00", "2026-12-07 24:00:00", "2026-12-07 22:60:00",
                             "2026/12/07 22:02:20", "２０２６-12-07 22:02:20", "2026-03-29 02:30:00"}) {
        EXPECT_FALSE(formatter.date(text)) << text;
    }
    EXPECT_TRUE(formatter.date("2024-02-29 00:00:00"));
    EXPECT_FALSE(DateFormatter("yyyy-MM-dd hh:mm:ss").date("2026-12-07 13:00:00"));
}

TEST_F(DateFormatterTest, ADateWhoseMidnightTheClocksSkipBeginsWhenTheyGoOn) {
    // Chile moves from 24:00 on Saturday 5 September 2026 straight to 01:00 on the Sunday.
    ::setenv("TZ", "America/Santiago", 1);
    ::tzset();
    const DateFormatter dates("yyyy-MM-dd");
    const auto sunday = dates.moment("2026-09-06");
    ASSERT_TRUE(sunday);
    EXPECT_EQ(sunday->secondsSinceEpoch, 1788667200);  // 04:00 UTC, 01:00 in the new offset
    EXPECT_EQ(dates.moment("2026-09-07")->secondsSinceEpoch - sunday->secondsSinceEpoch, 23 * 3600);
    EXPECT_EQ(sunday->secondsSinceEpoch - dates.moment("2026-09-05")->secondsSinceEpoch, 24 * 3600);
    EXPECT_EQ(DateFormatter("dd.MM.yyyy").date("06.09.2026"), dates.date("2026-09-06"));
    // With a time of day, a time inside the gap still names no moment.
    EXPECT_FALSE(DateFormatter("yyyy-MM-dd HH:mm").moment("2026-09-06 00:30"));
    EXPECT_EQ(DateFormatter("yyyy-MM-dd HH:mm").moment("2026-09-06 01:00"), sunday);
    // A day the clocks skip whole has no first moment: Samoa went from 29 to 31 December 2011.
    ::setenv("TZ", "Pacific/Apia", 1);
    ::tzset();
    EXPECT_FALSE(dates.moment("2011-12-30"));
    EXPECT_TRUE(dates.moment("2011-12-31"));
}

TEST_F(DateFormatterTest, MomentsBeyondTheNanosecondRangeKeepTheirOrder) {
    const DateFormatter formatter("yyyy-MM-dd", true);
    const auto last = formatter.moment("2262-04-11");
    const auto next = formatter.moment("2262-04-12");
    const auto far = formatter.moment("9999-12-31");
    ASSERT_TRUE(last && next && far);
    EXPECT_LT(*last, *next);
    EXPECT_LT(*next, *far);
    EXPECT_EQ(far->secondsSinceEpoch, 253402214400);
    EXPECT_TRUE(formatter.date("2262-04-11"));
    EXPECT_FALSE(formatter.date("2262-04-12"));  // no WallTime holds it; never a wrapped one
    EXPECT_EQ(DateFormatter("y-MM-dd", true).moment("999999999-01-01").has_value(), true);
}

TEST_F(DateFormatterTest, UnknownPatternLettersAreAProgrammingError) {
    EXPECT_THROW(DateFormatter("yyyy-MM-dd Q"), std::invalid_argument);
    EXPECT_NO_THROW(DateFormatter("yyyy 'Q' MM"));
}

}  // namespace

namespace {

// Dates within one second reuse that second's text: the fractions, other formatters and a
// change of zone must still come out right.
TEST_F(DateFormatterTest, RepeatedDatesInOneSecondStayExact) {
    const DateFormatter log("yyyy-MM-dd HH:mm:ss.SSS");
    const DateFormatter utc("HH:mm:ss.SS 'at' SSS", true);
    const WallTime second = local(2026, 12, 7, 22, 2, 20);
    EXPECT_EQ(log.string(second + std::chrono::milliseconds(5)), "2026-12-07 22:02:20.005");
    EXPECT_EQ(utc.string(second + std::chrono::milliseconds(5)), "21:02:20.00 at 005");
    EXPECT_EQ(log.string(second + std::chrono::milliseconds(999)), "2026-12-07 22:02:20.999");
    EXPECT_EQ(DateFormatter("yyyy").string(second), "2026");
    // A text is kept while its finest fraction holds; going back in time is no exception.
    const WallTime moment = second + std::chrono::nanoseconds(123'456'789);
    EXPECT_EQ(log.string(moment), "2026-12-07 22:02:20.123");
    EXPECT_EQ(log.string(moment + std::chrono::nanoseconds(543'210)), "2026-12-07 22:02:20.123");
    EXPECT_EQ(log.string(moment + std::chrono::nanoseconds(543'211)), "2026-12-07 22:02:20.124");
    EXPECT_EQ(log.string(moment - std::chrono::nanoseconds(456'790)), "2026-12-07 22:02:20.122");
    EXPECT_EQ(log.string(moment - std::chrono::seconds(1)), "2026-12-07 22:02:19.123");
    EXPECT_EQ(DateFormatter("ss.S").string(moment + std::chrono::milliseconds(76)), "20.1");
    EXPECT_EQ(DateFormatter("ss.S").string(moment + std::chrono::milliseconds(77)), "20.2");
    EXPECT_EQ(DateFormatter("HH:mm:ss").string(moment + std::chrono::milliseconds(876)), "22:02:20");
    EXPECT_EQ(DateFormatter("HH:mm:ss").string(moment + std::chrono::milliseconds(877)), "22:02:21");
    EXPECT_EQ(DateFormatter("ss.SSSSSSSSSSS").string(moment), "20.12345678900");

    ::setenv("TZ", "America/New_York", 1);
    ::tzset();
    EXPECT_EQ(log.string(second + std::chrono::milliseconds(6)), "2026-12-07 16:02:20.006");
}

}  // namespace
