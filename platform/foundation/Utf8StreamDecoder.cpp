#include "platform/foundation/Utf8StreamDecoder.hpp"

#include "platform/foundation/Utf8.hpp"

namespace platform::foundation {

namespace {

// How many bytes the sequence led by `lead` has; 0 for a byte that leads none.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// Where an unfinished sequence at the end of `bytes` starts; the size when there is none.
std::size_t unfinishedTail(std::string_view bytes) {
    for (std::size_t back = 1; back <= 3 && back <= bytes.size(); ++back) {
        const auto byte = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;
        return sequenceLength(byte) > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

}  // namespace

std::string Utf8StreamDecoder::decode(std::string_view chunk) {
    pending_.append(chunk);
    const std::size_t complete = unfinishedTail(pending_);
    std::string text = utf8WithReplacements(std::string_view(pending_).substr(0, complete));
    pending_.erase(0, complete);
    return text;
}

std::string Utf8StreamDecoder::finish() {
    std::string text = utf8WithReplacements(pending_);
    pending_.clear();
    return text;
}

}  // namespace platform::foundation
