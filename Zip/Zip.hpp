#pragma once

#include "Zip/ArchiveFile.hpp"
#include "Zip/ZipCompression.hpp"
#include "Zip/ZipError.hpp"
#include "platform/foundation/Url.hpp"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace corvantis::zip {

// Packs files, folders and in-memory buffers into zip archives and unpacks archives into
// folders. Every operation runs synchronously on the calling thread, calls its callbacks on that
// thread, and fails only by throwing `ZipError`. Packing deflates and unpacking inflates on
// worker threads that all operations share (one per processor, started by the first operation
// big enough to need them); small work stays on the calling thread. Entries are still written,
// and callbacks called, in archive order.
//
// A password (any text, the empty one included) encrypts every entry with the zip format's
// traditional encryption; its UTF-8 bytes are the key, as for Info-ZIP's tools. Progress goes to
// the callback as a fraction, and to a progress object that joins the thread's current
// `platform::foundation::Progress`, if one is current.
class Zip {
public:
    using Url = platform::foundation::Url;
    using ProgressHandler = std::function<void(double)>;
    using FileOutputHandler = std::function<void(const Url&)>;
    // Hears of an item left out of the packing, and why ("a symbolic link", "a FIFO", …).
    using SkippedHandler = std::function<void(const Url& item, const std::string& reason)>;

    // Archive extensions accepted besides "zip" and "cbz", compared exactly. Process-wide and
    // unlocked: change it from one thread only.
    static inline std::set<std::string> customFileExtensions;

    Zip() = default;

    // Unpacks the archive at `zipFilePath` into `destination` (made when missing). Existing
    // files are replaced only with `overwrite`. Entries that would land outside `destination`
    // fail the operation, and so do two entries that would land on one path (a file named twice,
    // or names that decode alike). A name is the UTF-8 of an Info-ZIP Unicode Path field whose
    // CRC matches the stored name, else the stored bytes as UTF-8 with replacement characters. Throws `fileNotFound` when there
    // is no archive there or its extension is not accepted, `unzipFail` otherwise; a failing archive leaves `destination` as it
    // was, and one whose entries declare more bytes than `destination` has free fails before writing anything. Once every entry
    // is in place, `progress` gets a fraction below 1 for each entry and 1.0 at the end; `fileOutputHandler` gets each written
    // file or folder after its progress report.
    static void unzipFile(const Url& zipFilePath, const Url& destination, bool overwrite,
                          const std::optional<std::string>& password, const ProgressHandler& progress = {},
                          const FileOutputHandler& fileOutputHandler = {});

    // Packs files and folders (expanded into "<folder name>/…" entries) into a new archive that
    // replaces `zipFilePath` once complete. Symbolic links to files are packed as what they lead
    // to. Throws `zipFail` on any failure, an item that is not a regular file (a FIFO, a device,
    // a socket) included, which is refused without waiting on it; an earlier archive at
    // `zipFilePath` stays as it was. `progress` gets the share of bytes packed after each entry
    // (never exactly 1.0 there) and 1.0 once at the end.
    static void zipFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                         ZipCompression compression = ZipCompression::DefaultCompression, const ProgressHandler& progress = {});

    // Packs as `zipFiles` does, but only the regular files that lie inside the folder holding
    // each location, reached without following a symbolic link (neither that folder's own name
    // nor anything below it may be one) and that have no other name, for folders that others
    // can put things into. Every other item (a link, a hard-linked file, a FIFO, a device, a
    // socket, a file that cannot be opened) is left out, and `skipped` hears of it on the
    // calling thread; with no `skipped` it fails the packing instead. Read and write failures still throw `zipFail`.
    static void zipRegularFiles(const std::vector<Url>& paths, const Url& zipFilePath, const std::optional<std::string>& password,
                                ZipCompression compression, const ProgressHandler& progress, const SkippedHandler& skipped);

    // Packs in-memory buffers; records with no bytes give no entry. `progress` gets the share of
    // bytes packed after each entry and 1.0 at the end. Throws `zipFail` as `zipFiles` does.
    static void zipData(const std::vector<ArchiveFile>& archiveFiles, const Url& zipFilePath,
                        const std::optional<std::string>& password,
                        ZipCompression compression = ZipCompression::DefaultCompression, const ProgressHandler& progress = {});

    static bool fileExtensionIsInvalid(const std::optional<std::string>& fileExtension);
    static void addCustomFileExtension(const std::string& fileExtension);
    static void removeCustomFileExtension(const std::string& fileExtension);
    static bool isValidFileExtension(const std::string& fileExtension);

    // Unpacks into a folder of the user's Documents folder named after the archive (every
    // ".<extension>" taken out of its name), replacing what an earlier unpacking left there.
    // Every failure is `unzipFail`.
    static Url quickUnzipFile(const Url& path, const ProgressHandler& progress = {});
    // Packs into "<fileName>.zip" in the user's Documents folder. Fails as `zipFiles` does, and
    // with `zipFail` for a name that is empty, "." or "..", or holds "/" or a NUL.
    static Url quickZipFiles(const std::vector<Url>& paths, const std::string& fileName, const ProgressHandler& progress = {});
};

}  // namespace corvantis::zip
