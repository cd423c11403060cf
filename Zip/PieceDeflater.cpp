#include "Zip/PieceDeflater.hpp"

#include <algorithm>
#include <zlib.h>

namespace corvantis::zip {

namespace {
constexpr int rawDeflateWindowBits = -MAX_WBITS;
constexpr int memoryLevel = 8;
constexpr std::size_t windowSize = std::size_t{1} << MAX_WBITS;
constexpr std::size_t flushMarker = 16;  // the empty stored block a flush adds, and a margin

// zlib takes 32-bit counts.
constexpr std::size_t largestStep = std::size_t{1} << 30;

class Deflater {
public:
    explicit Deflater(int level) { started_ = deflateInit2(&stream_, level, Z_DEFLATED, rawDeflateWindowBits, memoryLevel, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~Deflater() {
        if (started_) deflateEnd(&stream_);
    }
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;

    bool run(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> before, bool last, std::vector<std::uint8_t>& out) {
        if (!started_) return false;
        if (!before.empty()) {
            const auto dictionary = before.last(std::min(before.size(), windowSize));
            if (deflateSetDictionary(&stream_, dictionary.data(), static_cast<uInt>(dictionary.size())) != Z_OK) return false;
        }
        out.resize(static_cast<std::size_t>(deflateBound(&stream_, static_cast<uLong>(std::min(bytes.size(), largestStep)))) + flushMarker);
        std::size_t produced = 0;
        for (;;) {
            const auto step = bytes.first(std::min(bytes.size(), largestStep));
            const bool finalStep = step.size() == bytes.size();
            stream_.next_in = const_cast<Bytef*>(step.data());
            stream_.avail_in = static_cast<uInt>(step.size());
            const int flush = !finalStep ? Z_NO_FLUSH : last ? Z_FINISH : Z_FULL_FLUSH;
            int result = Z_OK;
            do {
                if (out.size() - produced < flushMarker) out.resize(out.size() * 2);
                const std::size_t room = std::min(out.size() - produced, largestStep);
                stream_.next_out = out.data() + produced;
                stream_.avail_out = static_cast<uInt>(room);
                result = ::deflate(&stream_, flush);
                if (result == Z_STREAM_ERROR) return false;
                produced += room - stream_.avail_out;
            } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
            bytes = bytes.subspan(step.size());
            if (finalStep) break;
        }
        out.resize(produced);
        return true;
    }

private:
    z_stream stream_{};
    bool started_ = false;
};
}  // namespace

DeflatedPiece PieceDeflater::deflate(int level, std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> before, bool last) {
    DeflatedPiece piece;
    piece.size = bytes.size();
    piece.crc = static_cast<std::uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
    Deflater deflater(level);
    piece.deflated = deflater.run(bytes, before, last, piece.data);
    return piece;
}

}  // namespace corvantis::zip
