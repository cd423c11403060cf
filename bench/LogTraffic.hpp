#pragma once

// Log traffic like the application's: fifty call sites taken in turn, each line from another place
// than the last, with messages of 20 to 300 bytes that carry numbers formatted at the call. The
// same sites and messages for our logger and for spdlog, whose pattern shows the same pieces.

#include "PRQLogger/PRQLogger.hpp"

#include <spdlog/spdlog.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvantis::bench::traffic {

// The message of call number `call`: a few words, two numbers and a tail whose length changes
// from call to call, 20 to 300 bytes in all.
inline std::string message(std::uint32_t call) {
    static constexpr std::array<std::string_view, 5> openings = {"Server ", "Reply from gateway ", "Tunnel check ", "Route to ",
                                                                 "Profile entry "};
    static const std::string tail(300, '.');
    std::string text(openings[call % openings.size()]);
    char number[16];
    text.append(number, std::to_chars(number, number + sizeof number, call % 9973).ptr);
    text += " took ";
    text.append(number, std::to_chars(number, number + sizeof number, (call * 37) % 5000).ptr);
    text += " ms";
    const std::size_t length = 20 + (call * 7919u) % 281;
    if (text.size() < length) text.append(tail, 0, length - text.size());
    return text;
}

inline constexpr int siteCount = 50;

using OurSite = void (*)(prq::PRQLogger&, std::uint32_t);
using TheirSite = void (*)(spdlog::logger&, std::uint32_t);

// One site per source line, so that file, line and function differ for ours and theirs alike.
#define CORVANTIS_LOG_SITE(n)                                                                              \
    namespace ours {                                                                                       \
    [[gnu::noinline]] inline void site##n(prq::PRQLogger& logger, std::uint32_t call) {                    \
        logger.info([&] { return message(call); });                                                        \
    }                                                                                                      \
    }                                                                                                      \
    namespace theirs {                                                                                     \
    [[gnu::noinline]] inline void site##n(spdlog::logger& logger, std::uint32_t call) {                    \
        logger.log(spdlog::source_loc{__FILE__, __LINE__, "site" #n}, spdlog::level::info, message(call)); \
    }                                                                                                      \
    }
CORVANTIS_LOG_SITE(0)
CORVANTIS_LOG_SITE(1)
CORVANTIS_LOG_SITE(2)
CORVANTIS_LOG_SITE(3)
CORVANTIS_LOG_SITE(4)
CORVANTIS_LOG_SITE(5)
CORVANTIS_LOG_SITE(6)
CORVANTIS_LOG_SITE(7)
CORVANTIS_LOG_SITE(8)
CORVANTIS_LOG_SITE(9)
CORVANTIS_LOG_SITE(10)
CORVANTIS_LOG_SITE(11)
CORVANTIS_LOG_SITE(12)
CORVANTIS_LOG_SITE(13)
CORVANTIS_LOG_SITE(14)
CORVANTIS_LOG_SITE(15)
CORVANTIS_LOG_SITE(16)
CORVANTIS_LOG_SITE(17)
CORVANTIS_LOG_SITE(18)
CORVANTIS_LOG_SITE(19)
CORVANTIS_LOG_SITE(20)
CORVANTIS_LOG_SITE(21)
CORVANTIS_LOG_SITE(22)
CORVANTIS_LOG_SITE(23)
CORVANTIS_LOG_SITE(24)
CORVANTIS_LOG_SITE(25)
CORVANTIS_LOG_SITE(26)
CORVANTIS_LOG_SITE(27)
CORVANTIS_LOG_SITE(28)
CORVANTIS_LOG_SITE(29)
CORVANTIS_LOG_SITE(30)
CORVANTIS_LOG_SITE(31)
CORVANTIS_LOG_SITE(32)
CORVANTIS_LOG_SITE(33)
CORVANTIS_LOG_SITE(34)
CORVANTIS_LOG_SITE(35)
CORVANTIS_LOG_SITE(36)
CORVANTIS_LOG_SITE(37)
CORVANTIS_LOG_SITE(38)
CORVANTIS_LOG_SITE(39)
CORVANTIS_LOG_SITE(40)
CORVANTIS_LOG_SITE(41)
CORVANTIS_LOG_SITE(42)
CORVANTIS_LOG_SITE(43)
CORVANTIS_LOG_SITE(44)
CORVANTIS_LOG_SITE(45)
CORVANTIS_LOG_SITE(46)
CORVANTIS_LOG_SITE(47)
CORVANTIS_LOG_SITE(48)
CORVANTIS_LOG_SITE(49)
#undef CORVANTIS_LOG_SITE

#define CORVANTIS_TEN_SITES(side, tens)                                                                      \
    side::site##tens##0, side::site##tens##1, side::site##tens##2, side::site##tens##3, side::site##tens##4, \
        side::site##tens##5, side::site##tens##6, side::site##tens##7, side::site##tens##8, side::site##tens##9
#define CORVANTIS_ALL_SITES(side)                                                                                        \
    side::site0, side::site1, side::site2, side::site3, side::site4, side::site5, side::site6, side::site7, side::site8, \
        side::site9, CORVANTIS_TEN_SITES(side, 1), CORVANTIS_TEN_SITES(side, 2), CORVANTIS_TEN_SITES(side, 3),           \
        CORVANTIS_TEN_SITES(side, 4)
inline constexpr std::array<OurSite, siteCount> ourSites = {CORVANTIS_ALL_SITES(ours)};
inline constexpr std::array<TheirSite, siteCount> theirSites = {CORVANTIS_ALL_SITES(theirs)};
#undef CORVANTIS_ALL_SITES
#undef CORVANTIS_TEN_SITES

}  // namespace corvantis::bench::traffic
