#include "ArchiveFixtures.hpp"
#include "Zip/StagingFolder.hpp"
#include "Zip/Zip.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/capability.h>
#include <map>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <zlib.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

std::optional<ZipError> unzipError(const std::filesystem::path& archive, const std::filesystem::path& destination,
                                   bool overwrite = true, const std::optional<std::string>& password = std::nullopt) {
    try {
        Zip::unzipFile(urlOf(archive), urlOf(destination), overwrite, password);
        return std::nullopt;
    } catch (const ZipError& error) {
        return error;
    }
}

mode_t permissionsOf(const std::filesystem::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
}

unsigned long regularFileAttributes(mode_t permissions) {
    return static_cast<unsigned long>(S_IFREG | permissions) << 16;
}

// Replaces every occurrence of `from` in the file's bytes (names sit in two headers).
void patchBytes(const std::filesystem::path& path, const std::string& from, const std::string& to) {
    std::string bytes = readFile(path);
    for (auto at = bytes.find(from); at != std::string::npos; at = bytes.find(from, at + to.size()))
        bytes.replace(at, from.size(), to);
    writeFile(path, bytes);
}

std::vector<std::string> namesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        names.push_back(std::filesystem::relative(item.path(), folder).string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every item under `folder`, links not followed: its kind, permissions and content (as a hash,
// to keep a failure's message short) or target.
std::map<std::string, std::string> snapshotOf(const std::filesystem::path& folder) {
    std::map<std::string, std::string> items;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
        std::string& described = items[std::filesystem::relative(item.path(), folder).string()];
        described = std::to_string(permissionsOf(item.path())) + " ";
        if (item.is_symlink()) {
            described += "link to " + std::filesystem::read_symlink(item.path()).string();
        } else if (item.is_directory()) {
            described += "folder";
        } else {
            const std::string content = readFile(item.path());
            described += std::to_string(content.size()) + " bytes #" + std::to_string(std::hash<std::string>()(content));
        }
    }
    return items;
}

// The bytes this process handed to write(2), all its threads together, while `work` ran.
std::uint64_t bytesWrittenDuring(const std::function<void()>& work) {
    const auto written = [] {
        std::ifstream accounting("/proc/self/io");
        std::string key;
        std::uint64_t value = 0;
        while (accounting >> key >> value) {
            if (key == "wchar:") return value;
        }
        ADD_FAILURE() << "no write accounting in /proc/self/io";
        return std::uint64_t{0};
    };
    const auto before = written();
    work();
    return written() - before;
}

TEST(UnzipFile, MissingArchivesAndUnacceptedExtensionsAreFileNotFound) {
    TemporaryFolder folder;
    writeFixture(folder / "real.zip", {{"a.txt", "a"}});
    std::filesystem::copy_file(folder / "real.zip", folder / "real.rar");
    std::filesystem::copy_file(folder / "real.zip", folder / "real.ZIP");
    std::filesystem::copy_file(folder / "real.zip", folder / "real.cbz");
    EXPECT_EQ(unzipError(folder / "missing.zip", folder / "out"), ZipError::fileNotFound);
    EXPECT_EQ(unzipError(folder / "real.rar", folder / "out"), ZipError::fileNotFound);
    EXPECT_EQ(unzipError(folder / "real.ZIP", folder / "out"), ZipError::fileNotFound);
    EXPECT_FALSE(std::filesystem::exists(folder / "out"));
    EXPECT_EQ(unzipError(folder / "real.cbz", folder / "out"), std::nullopt);

    Zip::addCustomFileExtension("ZIP");
    EXPECT_EQ(unzipError(folder / "real.ZIP", folder / "out"), std::nullopt);
    Zip::removeCustomFileExtension("ZIP");
    EXPECT_EQ(readFile(folder / "out" / "a.txt"), "a");
}

TEST(UnzipFile, FilesThatAreNoArchiveOrHaveNoEntriesAreUnzipFail) {
    TemporaryFolder folder;
    writeFile(folder / "text.zip", "this is not a zip archive at all");
    Zip::zipFiles({}, urlOf(folder / "empty.zip"), std::nullopt);
    EXPECT_EQ(unzipError(folder / "text.zip", folder / "out"), ZipError::unzipFail);
    EXPECT_EQ(unzipError(folder / "empty.zip", folder / "out"), ZipError::unzipFail);
}

TEST(UnzipFile, OverwriteDecidesWhetherExistingFilesAreReplaced) {
    TemporaryFolder folder;
    writeFixture(folder / "a.zip", {{"keep.txt", "from archive"}, {"new.txt", "new"}});
    writeFile(folder / "out" / "keep.txt", "mine");
    ASSERT_EQ(unzipError(folder / "a.zip", folder / "out", false), std::nullopt);
    EXPECT_EQ(readFile(folder / "out" / "keep.txt"), "mine");
    EXPECT_EQ(readFile(folder / "out" / "new.txt"), "new");
    ::chmod((folder / "out" / "keep.txt").c_str(), 0600);
    ASSERT_EQ(unzipError(folder / "a.zip", folder / "out", true), std::nullopt);
    EXPECT_EQ(readFile(folder / "out" / "keep.txt"), "from archive");
    EXPECT_EQ(permissionsOf(folder / "out" / "keep.txt"), 0600u) << "a replaced file keeps its permissions";
    EXPECT_EQ(namesIn(folder / "out"), (std::vector<std::string>{"keep.txt", "new.txt"}));
}

TEST(UnzipFile, ReportsProgressThenEachPathInArchiveOrder) {
    TemporaryFolder folder;
    writeFixture(folder / "a.zip", {{"docs\\read me.txt", "r"}, {"folder/", ""}, {"c.bin", randomBytes(5000, 7)}});
    std::vector<std::string> events;
    std::vector<double> fractions;
    Zip::unzipFile(
        urlOf(folder / "a.zip"), urlOf(folder / "out"), true, std::nullopt,
        [&](double fraction) {
            fractions.push_back(fraction);
            events.push_back("progress");
        },
        [&](const Url& url) { events.push_back(url.absoluteString()); });
    const std::string out = urlOf(folder / "out").absoluteString();
    EXPECT_EQ(events, (std::vector<std::string>{"progress", out + "/docs/read%20me.txt", "progress", out + "/folder", "progress",
                                                out + "/c.bin", "progress"}));
    ASSERT_EQ(fractions.size(), 4u);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_LT(fractions[2], 1.0);
    EXPECT_EQ(fractions[3], 1.0);
    EXPECT_EQ(readFile(folder / "out" / "docs" / "read me.txt"), "r");
    EXPECT_TRUE(std::filesystem::is_directory(folder / "out" / "folder"));
}

TEST(UnzipFile, RestoresOwnerReadablePermissionsOnly) {
    TemporaryFolder folder;
    ::umask(022);
    writeFixture(folder / "a.zip", {{"755", "x", regularFileAttributes(0755)},
                                    {"644", "x", regularFileAttributes(0644)},
                                    {"000", "x", regularFileAttributes(0000)},
                                    {"200", "x", regularFileAttributes(0200)},
                                    {"none", "x", 0},
                                    {"setuid", "x", regularFileAttributes(04755)},
                                    {"dir/", "", static_cast<unsigned long>(S_IFDIR | 0700) << 16}});
    ASSERT_EQ(unzipError(folder / "a.zip", folder / "out"), std::nullopt);
    EXPECT_EQ(permissionsOf(folder / "out" / "755"), 0755u);
    EXPECT_EQ(permissionsOf(folder / "out" / "644"), 0644u);
    EXPECT_EQ(permissionsOf(folder / "out" / "000"), 0644u);
    EXPECT_EQ(permissionsOf(folder / "out" / "200"), 0644u);
    EXPECT_EQ(permissionsOf(folder / "out" / "none"), 0644u);
    EXPECT_EQ(permissionsOf(folder / "out" / "setuid"), 0755u);
    EXPECT_EQ(permissionsOf(folder / "out" / "dir"), 0700u);
}

// Root writes into any folder; an ordinary user, whom the unzipping of read-only folders is
// about, cannot. Drops that power from this process (a death test's own).
void actAsAnOrdinaryUser() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};
    if (::syscall(SYS_capget, &header, data) != 0) std::exit(10);
    for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
        data[capability / 32].effective &= ~(1u << (capability % 32));
        data[capability / 32].permitted &= ~(1u << (capability % 32));
    }
    if (::syscall(SYS_capset, &header, data) != 0) std::exit(11);
}

// Read-only folders, one that does not even let its owner in, and the files inside them: what
// Info-ZIP and Python unpack as any user. The exit code says what went wrong.
int unpackReadOnlyFolders(const std::filesystem::path& folder) {
    const auto folderAttributes = [](mode_t permissions) { return static_cast<unsigned long>(S_IFDIR | permissions) << 16; };
    writeFixture(folder / "a.zip", {{"docs/", "", folderAttributes(0555)},
                                    {"docs/readme.txt", "read me", regularFileAttributes(0444)},
                                    {"docs/inner/", "", folderAttributes(0500)},
                                    {"docs/inner/deep.txt", "deep", regularFileAttributes(0644)},
                                    {"closed/", "", folderAttributes(0400)},
                                    {"closed/note.txt", "note", regularFileAttributes(0644)}});
    actAsAnOrdinaryUser();
    const auto out = folder / "out";
    int result = 0;
    if (unzipError(folder / "a.zip", out)) {
        result = 1;
    } else if (permissionsOf(out / "docs") != 0555 || permissionsOf(out / "docs" / "inner") != 0500 ||
               permissionsOf(out / "closed") != 0400) {
        result = 2;
    } else if (readFile(out / "docs" / "readme.txt") != "read me" || readFile(out / "docs" / "inner" / "deep.txt") != "deep") {
        result = 3;
    }
    // Opened again, outermost first, so the note can be read and the folder removed.
    std::error_code ignored;
    for (const auto* opened : {"docs", "docs/inner", "closed"}) {
        std::filesystem::permissions(out / opened, std::filesystem::perms::owner_all, ignored);
    }
    if (result == 0 && readFile(out / "closed" / "note.txt") != "note") result = 4;
    return result;
}

TEST(UnzipFile, ReadOnlyFoldersGetTheirPermissionsAfterTheirEntries) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            int result = 0;
            {
                TemporaryFolder folder;
                result = unpackReadOnlyFolders(folder.path());
            }
            std::exit(result);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(UnzipFile, EncryptedEntriesNeedTheRightPasswordAndOthersIgnoreIt) {
    TemporaryFolder folder;
    writeFile(folder / "secret.txt", "the secret");
    Zip::zipFiles({urlOf(folder / "secret.txt")}, urlOf(folder / "locked.zip"), "right");
    EXPECT_EQ(unzipError(folder / "locked.zip", folder / "none", true), ZipError::unzipFail);
    EXPECT_EQ(unzipError(folder / "locked.zip", folder / "wrong", true, "wrong"), ZipError::unzipFail);
    EXPECT_FALSE(std::filesystem::exists(folder / "wrong" / "secret.txt"));
    ASSERT_EQ(unzipError(folder / "locked.zip", folder / "right", true, "right"), std::nullopt);
    EXPECT_EQ(readFile(folder / "right" / "secret.txt"), "the secret");

    writeFixture(folder / "open.zip", {{"open.txt", "open"}});
    ASSERT_EQ(unzipError(folder / "open.zip", folder / "open", true, "unused"), std::nullopt);
    EXPECT_EQ(readFile(folder / "open" / "open.txt"), "open");
}

TEST(UnzipFile, AFailingEntryNeverDestroysTheFileItWouldReplace) {
    TemporaryFolder folder;
    writeFixture(folder / "corrupt.zip", {{"first.txt", "first"}, {"victim.txt", "CORRUPTED-ENTRY-DATA", 0, true}});
    patchBytes(folder / "corrupt.zip", "CORRUPTED", "corrupted");
    writeFile(folder / "plain.txt", "plain");
    Zip::zipFiles({urlOf(folder / "plain.txt")}, urlOf(folder / "locked.zip"), "pw");
    writeFile(folder / "out" / "plain.txt", "plain");
    writeFile(folder / "out" / "victim.txt", "old victim");

    for (bool overwrite : {false, true}) {
        EXPECT_EQ(unzipError(folder / "corrupt.zip", folder / "out", overwrite),
                  overwrite ? std::optional(ZipError::unzipFail) : std::nullopt);
        EXPECT_EQ(readFile(folder / "out" / "victim.txt"), "old victim");
    }
    EXPECT_EQ(unzipError(folder / "locked.zip", folder / "out", true, "wrong"), ZipError::unzipFail);
    EXPECT_EQ(readFile(folder / "out" / "plain.txt"), "plain");
    EXPECT_EQ(namesIn(folder / "out"), (std::vector<std::string>{"first.txt", "plain.txt", "victim.txt"}));
}

TEST(UnzipFile, NamesThatLeaveTheDestinationAreRefused) {
    const std::vector<std::string> names = {"../evil.txt", "sub/../../evil.txt", "..\\evil.txt", "/ABSOLUTE/evil.txt",
                                            "\\ABSOLUTE\\evil.txt"};
    for (const auto& name : names) {
        TemporaryFolder folder;
        std::string entryName = name;
        const auto absolute = entryName.find("ABSOLUTE");
        if (absolute != std::string::npos) entryName.replace(absolute, 8, (folder / "outside").string().substr(1));
        writeFixture(folder / "slip.zip", {{entryName, "evil"}});
        EXPECT_EQ(unzipError(folder / "slip.zip", folder / "dest" / "inner"), ZipError::unzipFail) << name;
        EXPECT_FALSE(std::filesystem::exists(folder / "dest" / "evil.txt")) << name;
        EXPECT_FALSE(std::filesystem::exists(folder / "evil.txt")) << name;
        EXPECT_FALSE(std::filesystem::exists(folder / "outside")) << name;
    }
}

TEST(UnzipFile, ANameWithANulIsRefused) {
    TemporaryFolder folder;
    writeFixture(folder / "nul.zip", {{"safe.txt#hidden", "x"}});
    patchBytes(folder / "nul.zip", "safe.txt#", std::string("safe.txt\0", 9));
    EXPECT_EQ(unzipError(folder / "nul.zip", folder / "out"), ZipError::unzipFail);
    EXPECT_FALSE(std::filesystem::exists(folder / "out" / "safe.txt"));
}

TEST(UnzipFile, PlantedSymbolicLinksAreNeverFollowed) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "outside");
    writeFile(folder / "outside" / "target.txt", "outside");
    std::filesystem::create_directories(folder / "dest");
    std::filesystem::create_directory_symlink(folder / "outside", folder / "dest" / "link");
    std::filesystem::create_symlink(folder / "outside" / "target.txt", folder / "dest" / "victim.txt");

    writeFixture(folder / "through-folder.zip", {{"link/evil.txt", "evil"}});
    EXPECT_EQ(unzipError(folder / "through-folder.zip", folder / "dest"), ZipError::unzipFail);
    writeFixture(folder / "through-folder-entry.zip", {{"link/", ""}, {"link/sub/", ""}});
    EXPECT_EQ(unzipError(folder / "through-folder-entry.zip", folder / "dest"), ZipError::unzipFail);
    EXPECT_EQ(namesIn(folder / "outside"), std::vector<std::string>{"target.txt"});

    writeFixture(folder / "over-link.zip", {{"victim.txt", "archived"}});
    ASSERT_EQ(unzipError(folder / "over-link.zip", folder / "dest", false), std::nullopt);
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "dest" / "victim.txt"));
    ASSERT_EQ(unzipError(folder / "over-link.zip", folder / "dest", true), std::nullopt);
    EXPECT_FALSE(std::filesystem::is_symlink(folder / "dest" / "victim.txt"));
    EXPECT_EQ(readFile(folder / "dest" / "victim.txt"), "archived");
    EXPECT_EQ(readFile(folder / "outside" / "target.txt"), "outside");
}

TEST(UnzipFile, SymbolicLinksInsideTheDestinationStillWork) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder / "dest" / "real");
    std::filesystem::create_directory_symlink("real", folder / "dest" / "alias");
    writeFixture(folder / "a.zip", {{"alias/file.txt", "inside"}});
    ASSERT_EQ(unzipError(folder / "a.zip", folder / "dest"), std::nullopt);
    EXPECT_EQ(readFile(folder / "dest" / "real" / "file.txt"), "inside");
}

TEST(UnzipFile, UnwritableTargetsAndDamagedDirectoriesAreUnzipFail) {
    TemporaryFolder folder;
    writeFixture(folder / "a.zip", {{"taken", "file"}});
    std::filesystem::create_directories(folder / "out" / "taken");
    EXPECT_EQ(unzipError(folder / "a.zip", folder / "out"), ZipError::unzipFail);

    writeFixture(folder / "folder-over-file.zip", {{"plain/", ""}});
    writeFile(folder / "out2" / "plain", "a file");
    EXPECT_EQ(unzipError(folder / "folder-over-file.zip", folder / "out2"), ZipError::unzipFail);

    // The end record claims a third entry that the directory does not hold.
    writeFixture(folder / "short.zip", {{"one", "1"}, {"two", "2"}});
    std::string bytes = readFile(folder / "short.zip");
    bytes[bytes.size() - 22 + 8] = 3;
    bytes[bytes.size() - 22 + 10] = 3;
    writeFile(folder / "short.zip", bytes);
    EXPECT_EQ(unzipError(folder / "short.zip", folder / "out3"), ZipError::unzipFail);
}

TEST(UnzipFile, ARefusedArchiveLeavesTheDestinationAsItWas) {
    TemporaryFolder folder;
    const auto out = folder / "out";
    writeFile(out / "keep.txt", "mine");
    ::chmod((out / "keep.txt").c_str(), 0600);
    std::filesystem::create_directories(out / "docs");
    std::filesystem::create_directories(folder / "elsewhere");
    std::filesystem::create_directory_symlink(folder / "elsewhere", out / "link");
    const std::vector<FixtureEntry> good = {{"keep.txt", "from archive", regularFileAttributes(0644)},
                                            {"docs/new.txt", "new"},
                                            {"many/deep/folders/", ""},
                                            {"many/file.txt", randomBytes(3 << 20, 5)}};
    const auto archive = [&](const std::string& name, const FixtureEntry& last) {
        auto entries = good;
        entries.push_back(last);
        writeFixture(folder / name, entries);
        return folder / name;
    };
    const auto damaged = archive("damaged.zip", {"late.txt", "CORRUPTED-ENTRY-DATA", 0, true});
    patchBytes(damaged, "CORRUPTED", "corrupted");
    const std::vector<std::filesystem::path> refused = {damaged, archive("unsafe.zip", {"../evil.txt", "evil"}),
                                                        archive("outside.zip", {"link/evil.txt", "evil"})};

    const auto before = snapshotOf(out);
    for (const auto& path : refused) {
        EXPECT_EQ(unzipError(path, out), ZipError::unzipFail) << path;
        EXPECT_EQ(snapshotOf(out), before) << path;
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder / "elsewhere"));
    EXPECT_EQ(unzipError(damaged, folder / "new" / "out"), ZipError::unzipFail);
    EXPECT_FALSE(std::filesystem::exists(folder / "new")) << "a destination made for the archive goes with it";
}

// Info-ZIP's Unicode Path field for an entry stored under `stored`: version 1, the CRC-32 of
// the stored name, the UTF-8 name.
std::string unicodePathField(const std::string& stored, const std::string& utf8) {
    const auto crc = static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(stored.data()), stored.size()));
    const auto size = static_cast<std::uint16_t>(5 + utf8.size());
    std::string field{'\x75', '\x70', static_cast<char>(size & 0xFF), static_cast<char>(size >> 8), '\x01'};
    for (int shift = 0; shift < 32; shift += 8) field += static_cast<char>((crc >> shift) & 0xFF);
    return field + utf8;
}

TEST(UnzipFile, NamesThatAreNotUtf8UseTheirUnicodePathFieldAndNeverCollapseOntoOnePath) {
    TemporaryFolder folder;
    // "é.txt" and "è.txt" as an old tool writes them: code page 437, no UTF-8 flag.
    const std::string acute = "\x82.txt", grave = "\x8a.txt";
    writeFixture(folder / "named.zip", {{acute, "acute", 0, false, std::nullopt, unicodePathField(acute, "\u00e9.txt")},
                                        {grave, "grave", 0, false, std::nullopt, unicodePathField(grave, "\u00e8.txt")}});
    EXPECT_EQ(unzipError(folder / "named.zip", folder / "named"), std::nullopt);
    EXPECT_EQ(namesIn(folder / "named"), (std::vector<std::string>{"\u00e8.txt", "\u00e9.txt"}));
    EXPECT_EQ(readFile(folder / "named" / "\u00e9.txt"), "acute");

    // Without the fields (or with one whose CRC names another name) both decode to "\ufffd.txt".
    const auto before = snapshotOf(folder / "named");
    writeFixture(folder / "bare.zip",
                 {{acute, "acute"}, {grave, "grave", 0, false, std::nullopt, unicodePathField("x", "\u00e8.txt")}});
    EXPECT_EQ(unzipError(folder / "bare.zip", folder / "named"), ZipError::unzipFail);
    EXPECT_EQ(snapshotOf(folder / "named"), before);
    writeFixture(folder / "twice.zip", {{"same.txt", "one"}, {"same.txt", "two"}});
    EXPECT_EQ(unzipError(folder / "twice.zip", folder / "twice"), ZipError::unzipFail);
}

TEST(UnzipFile, StagingFoldersLeftByAKilledUnzipGoWithTheNextOneAndALiveUnzipsStays) {
    TemporaryFolder folder;
    const auto out = folder / "out";
    // A killed unzip held its folder's lock until it died; a running one holds it still.
    writeFile(out / ".unzipping-Kil1ed" / "0", randomBytes(1 << 20, 1));
    writeFile(out / ".unzipping-Kil1ed" / "1", "partial");
    writeFile(out / ".unzipping-Living" / "0", "partial");
    platform::foundation::FileDescriptor living(::open((out / ".unzipping-Living").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(living.get(), LOCK_EX | LOCK_NB), 0);
    writeFile(out / ".unzipping-notes.txt", "the user's own file of that name");

    writeFixture(folder / "a.zip", {{"a.txt", "a"}});
    EXPECT_EQ(unzipError(folder / "a.zip", out), std::nullopt);
    EXPECT_EQ(namesIn(out),
              (std::vector<std::string>{".unzipping-Living", ".unzipping-Living/0", ".unzipping-notes.txt", "a.txt"}));

    // The staging folder of an unzip that runs meanwhile stays, with what it has unpacked.
    platform::foundation::FileDescriptor destination(::open(out.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    auto running = StagingFolder::create(destination.get());
    ASSERT_TRUE(running);
    platform::foundation::FileDescriptor staged = running.value().createFile(0);
    ASSERT_TRUE(staged.isOpen());
    EXPECT_EQ(unzipError(folder / "a.zip", out), std::nullopt);
    struct stat info {};
    EXPECT_EQ(::fstatat(running.value().descriptor(), "0", &info, 0), 0) << "the running unzip's file is still there";
    EXPECT_EQ(namesIn(out).size(), 6u) << ::testing::PrintToString(namesIn(out));
}

TEST(UnzipFile, WritesNoMoreThanTheEntriesDeclareNorMoreThanFitsTheDestination) {
    TemporaryFolder folder;
    const auto out = folder / "out";
    writeFile(out / "mine.txt", "mine");
    const auto before = snapshotOf(out);

    // Far more than the destination's file system has free: refused before a byte is unpacked.
    struct statvfs space {};
    ASSERT_EQ(::statvfs(out.c_str(), &space), 0);
    const std::uint64_t declared = std::uint64_t{1} << 60;
    ASSERT_GT(declared / space.f_frsize, space.f_bavail);
    writeFixture(folder / "huge.zip", {{"first.bin", randomBytes(4 << 20, 3)}, {"huge.bin", "tiny", 0, true, declared}});
    EXPECT_LT(bytesWrittenDuring([&] { EXPECT_EQ(unzipError(folder / "huge.zip", out), ZipError::unzipFail); }), 1u << 20);
    EXPECT_EQ(snapshotOf(out), before);

    // 64 MiB of zeros that claim to be 4 KiB: inflating stops at what was declared.
    writeFixture(folder / "bomb.zip", {{"bomb.bin", std::string(64 << 20, '\0'), 0, false, 4096}});
    EXPECT_LT(bytesWrittenDuring([&] { EXPECT_EQ(unzipError(folder / "bomb.zip", out), ZipError::unzipFail); }), 1u << 20);
    EXPECT_EQ(snapshotOf(out), before);
}

TEST(UnzipFile, RoundTripsOurOwnArchivesWithAndWithoutPassword) {
    TemporaryFolder folder;
    writeFile(folder / "Logs" / "a.log", std::string(70000, 'l'));
    writeFile(folder / "Logs" / "sub" / "noise.bin", randomBytes(40000, 9));
    writeFile(folder / "Logs" / ".hidden", "h");
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("pässwörd")}) {
        Zip::zipFiles({urlOf(folder / "Logs")}, urlOf(folder / "logs.zip"), password);
        std::filesystem::remove_all(folder / "out");
        ASSERT_EQ(unzipError(folder / "logs.zip", folder / "out", true, password), std::nullopt);
        EXPECT_EQ(readFile(folder / "out" / "Logs" / "a.log"), std::string(70000, 'l'));
        EXPECT_EQ(readFile(folder / "out" / "Logs" / "sub" / "noise.bin"), randomBytes(40000, 9));
        EXPECT_EQ(readFile(folder / "out" / "Logs" / ".hidden"), "h");
    }
}

}  // namespace
