#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvantis::helper {

// Everything a long-running program printed, in arrival order, within a limit: past it the
// start and the newest output are kept and the middle gives way, so that a tunnel that runs
// for days neither grows without end nor outgrows the largest reply a client takes.
class OutputRecord {
public:
    // Decoding turns each byte that is not UTF-8 into three: at this limit even such output stays
    // under the largest frame a reply may take (8 MiB).
    static constexpr std::size_t defaultLimit = 2 << 20;

    explicit OutputRecord(std::size_t limit = defaultLimit) : limit_(limit) {}

    void append(std::string_view bytes);
    // The bytes decoded leniently as UTF-8, with a marker where output was left out.
    std::string text() const;

private:
    std::size_t limit_;
    std::string head_;
    std::string tail_;
    std::size_t leftOut_ = 0;
};

}  // namespace corvantis::helper
