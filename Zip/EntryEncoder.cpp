#include "Zip/EntryEncoder.hpp"

#include "Zip/ZipError.hpp"

namespace corvantis::zip {

namespace {
constexpr std::size_t outputSize = 65536;
constexpr int rawDeflateWindowBits = -MAX_WBITS;
constexpr int memoryLevel = 8;
}  // namespace

EntryEncoder::EntryEncoder(int level, std::string_view password, std::uint32_t crc)
    : cipher_(password), output_(outputSize), crc_(crc) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, rawDeflateWindowBits, memoryLevel, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw ZipError(ZipError::zipFail);
    }
}

EntryEncoder::~EntryEncoder() {
    deflateEnd(&stream_);
}

void EntryEncoder::encode(std::span<const std::uint8_t> input, bool finish, const Sink& sink) {
    if (!headerWritten_) {
        auto header = cipher_.encryptedHeader(crc_);
        sink(header);
        headerWritten_ = true;
    }
    stream_.next_in = const_cast<Bytef*>(input.data());
    stream_.avail_in = static_cast<uInt>(input.size());
    const int flush = finish ? Z_FINISH : Z_NO_FLUSH;
    int result = Z_OK;
    do {
        stream_.next_out = output_.data();
        stream_.avail_out = static_cast<uInt>(output_.size());
        result = deflate(&stream_, flush);
        if (result == Z_STREAM_ERROR) throw ZipError(ZipError::zipFail);
        const std::size_t produced = output_.size() - stream_.avail_out;
        if (produced > 0) {
            std::span<std::uint8_t> piece(output_.data(), produced);
            cipher_.encrypt(piece);
            sink(piece);
        }
    } while (stream_.avail_out == 0 || (finish && result != Z_STREAM_END));
}

}  // namespace corvantis::zip
