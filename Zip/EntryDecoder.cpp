#include "Zip/EntryDecoder.hpp"

#include "Zip/ZipError.hpp"

namespace corvantis::zip {

namespace {
constexpr std::size_t inputSize = 16384;
constexpr long damagedData = -3;  // zlib's Z_DATA_ERROR, as minizip reports it

// Reads exactly `buffer.size()` raw bytes, or fewer at the end of the data.
std::size_t readFully(std::span<std::uint8_t> buffer, const EntryDecoder::RawReader& readRaw) {
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const long count = readRaw(buffer.subspan(filled));
        if (count <= 0) break;
        filled += static_cast<std::size_t>(count);
    }
    return filled;
}
}  // namespace

EntryDecoder::EntryDecoder(std::optional<std::string_view> password, bool deflated)
    : deflated_(deflated), input_(inputSize), crc_(0) {
    if (password) cipher_.emplace(*password);
    if (deflated_ && inflateInit2(&stream_, -MAX_WBITS) != Z_OK) throw ZipError(ZipError::unzipFail);
}

EntryDecoder::~EntryDecoder() {
    if (deflated_) inflateEnd(&stream_);
}

bool EntryDecoder::acceptsHeader(const RawReader& readRaw, std::uint8_t checkByte) {
    std::array<std::uint8_t, TraditionalCipher::headerSize> header{};
    if (readFully(header, readRaw) != header.size()) return false;
    return cipher_ && cipher_->acceptsHeader(header, checkByte);
}

void EntryDecoder::decrypt(std::span<std::uint8_t> bytes) {
    if (cipher_) cipher_->decrypt(bytes);
}

long EntryDecoder::read(std::span<std::uint8_t> output, const RawReader& readRaw) {
    const long count = deflated_ ? readDeflated(output, readRaw) : readStored(output, readRaw);
    if (count > 0) crc_ = static_cast<std::uint32_t>(crc32_z(crc_, output.data(), static_cast<z_size_t>(count)));
    return count;
}

long EntryDecoder::readStored(std::span<std::uint8_t> output, const RawReader& readRaw) {
    const long count = readRaw(output);
    if (count > 0) decrypt(output.first(static_cast<std::size_t>(count)));
    if (count == 0) ended_ = true;
    return count;
}

long EntryDecoder::readDeflated(std::span<std::uint8_t> output, const RawReader& readRaw) {
    if (ended_) return 0;
    stream_.next_out = output.data();
    stream_.avail_out = static_cast<uInt>(output.size());
    for (;;) {
        const int result = inflate(&stream_, Z_NO_FLUSH);
        if (result == Z_STREAM_END) {
            ended_ = true;
            break;
        }
        if (result != Z_OK && result != Z_BUF_ERROR) return damagedData;
        if (stream_.avail_out < output.size()) break;
        if (stream_.avail_in > 0) continue;
        const long count = readRaw(input_);
        if (count < 0) return count;
        if (count == 0) return damagedData;  // the data ends before the deflate stream does
        decrypt(std::span(input_).first(static_cast<std::size_t>(count)));
        stream_.next_in = input_.data();
        stream_.avail_in = static_cast<uInt>(count);
    }
    return static_cast<long>(output.size() - stream_.avail_out);
}

bool EntryDecoder::isIntact(std::uint32_t crc) const {
    return ended_ && crc_ == crc;
}

}  // namespace corvantis::zip
