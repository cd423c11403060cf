#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace corvantis::zip {

// A piece of an entry's bytes, deflated on its own.
struct DeflatedPiece {
    std::vector<std::uint8_t> data;  // raw deflate output
    std::uint32_t crc = 0;           // CRC-32 of the piece's plain bytes
    std::uint64_t size = 0;          // plain bytes in the piece
    bool deflated = false;           // false when deflating failed (out of memory)
};

// Deflates one piece of an entry so that the pieces, put one after the other, make the entry's
// single raw deflate stream: every piece but the last ends with a full flush (on a byte
// boundary, no final block), the last one finishes the stream. A piece after the first is primed
// with the 32 KiB before it, so splitting costs almost no compression. Safe on any thread.
class PieceDeflater {
public:
    static DeflatedPiece deflate(int level, std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> before, bool last);
};

}  // namespace corvantis::zip
