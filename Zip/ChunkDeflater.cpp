#include "Zip/ChunkDeflater.hpp"

#include <algorithm>
#include <libdeflate.h>
#include <memory>
#include <optional>
#include <zlib.h>

namespace corvantis::zip {

namespace {
constexpr int defaultLevel = 6;
// An empty stored block's length and its complement, after its three header bits.
constexpr std::uint8_t emptyStoredLength[] = {0x00, 0x00, 0xFF, 0xFF};
// zlib takes 32-bit counts.
constexpr std::size_t largestStep = std::size_t{1} << 30;

struct CompressorDeleter {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// Where the final block of a complete raw deflate stream begins and where its bits end, counted
// from its start, found by inflating it block by block: zlib stops after each block's end code
// and says how many bits of the last byte it has not used, and whether that block was the final.
struct StreamEnds {
    std::uint64_t finalBlock = 0;
    std::uint64_t end = 0;
};

std::optional<StreamEnds> findStreamEnds(std::span<const std::uint8_t> stream, std::size_t plainSize) {
    z_stream inflater{};
    if (inflateInit2(&inflater, -MAX_WBITS) != Z_OK) return std::nullopt;
    std::vector<std::uint8_t> scratch(std::min(std::max<std::size_t>(plainSize, 1), std::size_t{1} << 16));
    StreamEnds ends;
    std::uint64_t consumed = 0;
    bool endFound = false;
    int result = Z_OK;
    while (result == Z_OK) {
        const auto step = stream.subspan(static_cast<std::size_t>(consumed))
                              .first(std::min(stream.size() - static_cast<std::size_t>(consumed), largestStep));
        inflater.next_in = const_cast<Bytef*>(step.data());
        inflater.avail_in = static_cast<uInt>(step.size());
        inflater.next_out = scratch.data();
        inflater.avail_out = static_cast<uInt>(scratch.size());
        result = inflate(&inflater, Z_BLOCK);
        consumed += step.size() - inflater.avail_in;
        // Stopped right after a block's end code: the next block starts here, or, after the
        // final block, the stream's bits end here (the stream's end skips the byte's rest).
        if (result == Z_OK && (inflater.data_type & 128) != 0) {
            const std::uint64_t bit = consumed * 8 - static_cast<std::uint64_t>(inflater.data_type & 7);
            if ((inflater.data_type & 64) != 0) {
                ends.end = bit;
                endFound = true;
            } else {
                ends.finalBlock = bit;
            }
        }
    }
    inflateEnd(&inflater);
    if (result != Z_STREAM_END || !endFound) return std::nullopt;
    return ends;
}

// Turns a complete stream into one that goes on: the final block is no longer final, and an
// empty stored block (three zero header bits, then padding to a byte, then its length) follows.
bool continueStream(std::vector<std::uint8_t>& stream, std::size_t plainSize) {
    const auto ends = findStreamEnds(stream, plainSize);
    if (!ends) return false;
    stream[ends->finalBlock / 8] &= static_cast<std::uint8_t>(~(1u << (ends->finalBlock % 8)));
    const std::uint64_t headerEnd = ends->end + 3;
    stream.resize(static_cast<std::size_t>((headerEnd + 7) / 8), 0);
    // The header's bits, and the padding after them, are zeros.
    if (ends->end % 8 != 0) stream[ends->end / 8] &= static_cast<std::uint8_t>((1u << (ends->end % 8)) - 1);
    for (auto byte = ends->end / 8 + (ends->end % 8 != 0 ? 1 : 0); byte < stream.size(); ++byte) stream[byte] = 0;
    stream.insert(stream.end(), std::begin(emptyStoredLength), std::end(emptyStoredLength));
    return true;
}

bool compress(int level, std::span<const std::uint8_t> bytes, bool last, std::vector<std::uint8_t>& out) {
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(level < 0 ? defaultLevel : std::min(level, 12)));
    if (!compressor) return false;
    out.resize(libdeflate_deflate_compress_bound(compressor.get(), bytes.size()));
    const std::size_t produced =
        libdeflate_deflate_compress(compressor.get(), bytes.data(), bytes.size(), out.data(), out.size());
    if (produced == 0) return false;
    out.resize(produced);
    return last || continueStream(out, bytes.size());
}
}  // namespace

DeflatedPiece ChunkDeflater::deflate(int level, std::span<const std::uint8_t> bytes, bool last) {
    DeflatedPiece piece;
    piece.size = bytes.size();
    piece.crc = static_cast<std::uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
    piece.deflated = compress(level, bytes, last, piece.data);
    // The result may wait a while for its turn: it keeps only what it uses of the worst case.
    piece.data.shrink_to_fit();
    return piece;
}

}  // namespace corvantis::zip
