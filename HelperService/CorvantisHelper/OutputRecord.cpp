#include "HelperService/CorvantisHelper/OutputRecord.hpp"

#include "platform/foundation/Utf8.hpp"

namespace corvantis::helper {

void OutputRecord::append(std::string_view bytes) {
    const std::size_t headLimit = limit_ / 2;
    if (head_.size() < headLimit) {
        const auto taken = bytes.substr(0, headLimit - head_.size());
        head_.append(taken);
        bytes.remove_prefix(taken.size());
    }
    tail_.append(bytes);
    const std::size_t tailLimit = limit_ - headLimit;
    if (tail_.size() > tailLimit) {
        const std::size_t dropped = tail_.size() - tailLimit;
        tail_.erase(0, dropped);
        leftOut_ += dropped;
    }
}

std::string OutputRecord::text() const {
    using platform::foundation::utf8WithReplacements;
    if (leftOut_ == 0) return utf8WithReplacements(head_ + tail_);
    return utf8WithReplacements(head_) + "\n[... " + std::to_string(leftOut_) + " bytes left out ...]\n" +
           utf8WithReplacements(tail_);
}

}  // namespace corvantis::helper
