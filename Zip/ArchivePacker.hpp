#pragma once

#include "Zip/ArchiveWriter.hpp"
#include "Zip/ChunkDeflater.hpp"
#include "Zip/InputFile.hpp"
#include "Zip/OrderedWorkQueue.hpp"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace corvantis::zip {

// Fills an archive with entries whose bytes are deflated in parallel. Entries are read on the
// caller's thread in pieces, the pieces deflated on worker threads, and the results written
// to the archive in order, each entry's pieces forming one deflate stream. Reading runs ahead of
// writing by at most the queue's window, so memory stays bounded. Every entry is written, and
// its `written` callback called, on the caller's thread, in the order the entries were added.
// Every failure throws `ZipError::zipFail`, after the entries added before the failing one have
// been written.
class ArchivePacker {
public:
    struct Options {
        unsigned threads = 0;                          // 0: as many as the work is worth
        std::size_t pieceSize = std::size_t{1} << 20;  // bytes deflated as one piece
    };
    // The options every packing uses; tests change them to compare layouts.
    static Options& defaultOptions();

    // `expectedBytes`: about how much all entries together hold.
    ArchivePacker(ArchiveWriter& archive, int level, std::uint64_t expectedBytes, const Options& options = defaultOptions());

    struct Entry {
        std::string name;
        EntryDate date;
        std::uint64_t expectedSize = 0;  // picks the header format; the bytes read decide the size
        std::function<void()> written;   // may be empty
    };
    // Adds a file's bytes from where it stands to its end. With encryption the file is read twice
    // (the CRC goes before the data) and must give the same bytes both times.
    void addFile(InputFile& input, Entry entry);
    // Adds bytes that `owner` keeps alive, without copying them.
    void addBytes(std::shared_ptr<const void> owner, std::span<const std::uint8_t> bytes, Entry entry);
    // Fails the packing at this point: what was added before is written first.
    [[noreturn]] void fail();
    // Writes everything added so far.
    void finish();

private:
    struct Pending {
        Entry entry;
        std::optional<std::uint32_t> encryptedCrc;
        std::uint64_t encryptedSize = 0;
        std::size_t piecesSubmitted = 0;
        std::size_t piecesWritten = 0;
        bool complete = false;  // every piece submitted
        bool failed = false;
        bool opened = false;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };

    // A piece of an entry, whose bytes `owner` keeps alive.
    struct Piece {
        std::shared_ptr<const void> owner;
        std::span<const std::uint8_t> bytes;
        bool last = false;  // ends the entry's deflate stream
    };

    Pending& begin(Entry entry);
    void submit(Piece piece);
    // Writes the oldest piece, waiting for it, and the entries that it completes.
    void writeOldest();
    // Closes the front entries whose pieces are all written; throws at a failed one.
    void closeFinished();

    ArchiveWriter& archive_;
    int level_;
    std::size_t pieceSize_;
    OrderedWorkQueue<DeflatedPiece> queue_;
    std::deque<Pending> pending_;
};

}  // namespace corvantis::zip
