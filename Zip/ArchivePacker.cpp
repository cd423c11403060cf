#include "Zip/ArchivePacker.hpp"

#include "Zip/ZipError.hpp"

#include <algorithm>
#include <vector>
#include <zlib.h>

namespace corvantis::zip {

namespace {
using Bytes = std::vector<std::uint8_t>;

// Enough pieces in flight that no worker waits while the caller reads or writes one.
constexpr std::size_t piecesPerThread = 3;

unsigned threadCount(unsigned wanted, std::uint64_t expectedBytes) {
    return wanted != 0 ? wanted : threadsFor(expectedBytes);
}

// A piece read from a file; `ended` when the file (or the part of it wanted) ends with it.
struct FilePiece {
    std::shared_ptr<const Bytes> bytes;  // none after a read error
    bool ended = false;
};

FilePiece readPiece(InputFile& input, std::size_t pieceSize, std::uint64_t& remaining) {
    constexpr std::size_t firstRead = std::size_t{1} << 16;
    constexpr std::size_t largestReservation = std::size_t{1} << 22;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(pieceSize, remaining));
    auto bytes = std::make_shared<Bytes>();
    bytes->reserve(std::min(wanted, largestReservation));
    std::size_t filled = 0;
    // The buffer grows as the file delivers, so a large piece size costs nothing for small files.
    while (filled < wanted) {
        bytes->resize(std::min(wanted, std::max(2 * filled, firstRead)));
        const long count = input.read(std::span(*bytes).subspan(filled));
        if (count < 0) return {};
        if (count == 0) break;
        filled += static_cast<std::size_t>(count);
    }
    bytes->resize(filled);
    remaining -= filled;
    return {std::move(bytes), filled < wanted || remaining == 0};
}
}  // namespace

ArchivePacker::Options& ArchivePacker::defaultOptions() {
    static Options options;
    return options;
}

ArchivePacker::ArchivePacker(ArchiveWriter& archive, int level, std::uint64_t expectedBytes, const Options& options)
    : archive_(archive),
      level_(level),
      pieceSize_(std::max<std::size_t>(options.pieceSize, 1)),
      queue_(threadCount(options.threads, expectedBytes), piecesPerThread * threadCount(options.threads, expectedBytes)) {}

ArchivePacker::Pending& ArchivePacker::begin(Entry entry) {
    auto& pending = pending_.emplace_back();
    pending.entry = std::move(entry);
    return pending;
}

void ArchivePacker::addFile(InputFile& input, Entry entry) {
    auto& pending = begin(std::move(entry));
    std::uint64_t remaining = UINT64_MAX;
    if (archive_.encrypts()) {
        Bytes buffer(std::min<std::size_t>(pieceSize_, std::size_t{1} << 20));
        const auto checksum = input.checksum(buffer);
        if (!checksum) fail();
        pending.encryptedCrc = checksum->crc;
        pending.encryptedSize = checksum->size;
        remaining = checksum->size;
    }
    auto piece = readPiece(input, pieceSize_, remaining);
    for (;;) {
        if (!piece.bytes) fail();
        FilePiece next;
        if (!piece.ended) next = readPiece(input, pieceSize_, remaining);
        const bool last = piece.ended || (next.bytes && next.bytes->empty());
        ++pending.piecesSubmitted;
        submit({piece.bytes, *piece.bytes, last});
        if (last) break;
        piece = std::move(next);
    }
    pending.complete = true;
}

void ArchivePacker::addBytes(std::shared_ptr<const void> owner, std::span<const std::uint8_t> bytes, Entry entry) {
    auto& pending = begin(std::move(entry));
    if (archive_.encrypts()) {
        pending.encryptedCrc = static_cast<std::uint32_t>(crc32_z(0, bytes.data(), bytes.size()));
        pending.encryptedSize = bytes.size();
    }
    for (std::size_t offset = 0;;) {
        const std::size_t size = std::min(pieceSize_, bytes.size() - offset);
        const bool last = offset + size == bytes.size();
        ++pending.piecesSubmitted;
        submit({owner, bytes.subspan(offset, size), last});
        if (last) break;
        offset += size;
    }
    pending.complete = true;
}

void ArchivePacker::fail() {
    if (pending_.empty() || pending_.back().complete) begin(Entry{});
    pending_.back().failed = true;
    pending_.back().complete = true;
    finish();
    throw ZipError(ZipError::zipFail);  // not reached: `finish` throws at the failed entry
}

void ArchivePacker::finish() {
    while (!queue_.empty()) writeOldest();
    closeFinished();
}

void ArchivePacker::submit(Piece piece) {
    while (queue_.full()) writeOldest();
    queue_.submit([level = level_, piece = std::move(piece)] { return ChunkDeflater::deflate(level, piece.bytes, piece.last); });
}

void ArchivePacker::writeOldest() {
    auto piece = queue_.takeOldest();
    closeFinished();
    auto& entry = pending_.front();
    if (!piece.deflated || entry.failed) throw ZipError(ZipError::zipFail);
    if (!entry.opened) {
        archive_.openEntry(entry.entry.name, entry.entry.date, entry.entry.expectedSize, entry.encryptedCrc);
        entry.opened = true;
    }
    archive_.write(piece.data, piece.size);
    entry.crc = static_cast<std::uint32_t>(crc32_combine64(entry.crc, piece.crc, static_cast<z_off64_t>(piece.size)));
    entry.size += piece.size;
    ++entry.piecesWritten;
    closeFinished();
}

void ArchivePacker::closeFinished() {
    while (!pending_.empty()) {
        auto& entry = pending_.front();
        if (!entry.complete || entry.piecesWritten < entry.piecesSubmitted) return;
        // An encrypted entry must hold exactly the bytes its header's CRC was taken from.
        if (entry.failed || !entry.opened || (entry.encryptedCrc && entry.size != entry.encryptedSize))
            throw ZipError(ZipError::zipFail);
        archive_.closeEntry(entry.crc);
        const auto written = std::move(entry.entry.written);
        pending_.pop_front();
        if (written) written();
    }
}

}  // namespace corvantis::zip
