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
// single raw deflate stream. libdeflate compresses each piece whole (it is markedly faster than
// zlib at the same level, and as small); it always ends its output with a final block, so for
// every piece but the last that block's final flag is cleared and the stream continues, byte
// aligned, after an empty stored block, as a zlib full flush would leave it. Safe on any thread.
class ChunkDeflater {
public:
    // `level` on zlib's scale, -1 for the default.
    static DeflatedPiece deflate(int level, std::span<const std::uint8_t> bytes, bool last);
};

}  // namespace corvantis::zip
