// Archives must travel both ways between us and Info-ZIP's zip and unzip.
#include "ArchiveFixtures.hpp"
#include "Zip/Zip.hpp"
#include "support/ChildProcess.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using corvantis::testing::ChildProcess;
using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

// Info-ZIP reads names and passwords as UTF-8 only in a UTF-8 locale.
ChildProcess runInfoZip(std::vector<std::string> arguments, const std::filesystem::path& workingDirectory) {
    arguments.insert(arguments.begin(), {"env", "LC_ALL=C.UTF-8"});
    return ChildProcess::run(arguments, workingDirectory);
}

class InfoZipInterop : public ::testing::Test {
protected:
    void SetUp() override {
        writeFile(folder / "src" / "Logs" / "app.log", logText);
        writeFile(folder / "src" / "Logs" / "sub" / "noise.bin", noise);
        writeFile(folder / "src" / "Logs" / "empty", "");
    }

    void expectUnpackedLogs(const std::filesystem::path& root) {
        EXPECT_EQ(readFile(root / "Logs" / "app.log"), logText);
        EXPECT_EQ(readFile(root / "Logs" / "sub" / "noise.bin"), noise);
        EXPECT_EQ(readFile(root / "Logs" / "empty"), "");
    }

    TemporaryFolder folder;
    const std::string noise = randomBytes(100000, 11);
    std::string logText = [] {
        std::string text;
        for (int line = 0; line < 3000; ++line)
            text += "2026-01-01 12:00:00.000 [Info] [main] line " + std::to_string(line) + "\n";
        return text;
    }();
};

TEST_F(InfoZipInterop, UnzipReadsOurArchives) {
    const std::vector<std::optional<std::string>> passwords = {std::nullopt, "secret", "pässwörd-ß€"};
    for (const auto& password : passwords) {
        Zip::zipFiles({urlOf(folder / "src" / "Logs")}, urlOf(folder / "ours.zip"), password);
        std::vector<std::string> arguments = {"unzip", "-q", "-o"};
        if (password) arguments.insert(arguments.end(), {"-P", *password});
        arguments.insert(arguments.end(), {"ours.zip", "-d", "out"});
        std::filesystem::remove_all(folder / "out");
        const auto unzipped = runInfoZip(arguments, folder.path());
        ASSERT_EQ(unzipped.exitCode, 0) << unzipped.output;
        expectUnpackedLogs(folder / "out");
    }
}

// The files below a folder, as "/"-separated paths in byte order.
std::vector<std::string> filesBelow(const std::filesystem::path& root) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) files.push_back(std::filesystem::relative(entry.path(), root).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(InfoZipInterop, NamesInAnyScriptComeOutTheSameFromUnzipPythonAndUs) {
    const std::vector<std::string> names = {"Grüße.txt",           "Ελληνικά.log",    "Привет.log", "مرحبا.txt",
                                            "日本語/ファイル.txt", "한국어 파일.txt", "😀 emoji.txt"};
    std::vector<std::string> expected;
    for (const auto& name : names) {
        writeFile(folder / "src" / "Names" / name, name);
        expected.push_back("Names/" + name);
    }
    std::sort(expected.begin(), expected.end());
    Zip::zipFiles({urlOf(folder / "src" / "Names")}, urlOf(folder / "names.zip"), std::nullopt);

    const auto unzipped = runInfoZip({"unzip", "-q", "names.zip", "-d", "info-zip"}, folder.path());
    ASSERT_EQ(unzipped.exitCode, 0) << unzipped.output;
    const auto python = ChildProcess::run(
        {"python3", "-c", "import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])", "names.zip", "python"},
        folder.path());
    ASSERT_EQ(python.exitCode, 0) << python.output;
    Zip::unzipFile(urlOf(folder / "names.zip"), urlOf(folder / "ours"), true, std::nullopt);
    for (const auto* reader : {"info-zip", "python", "ours"}) {
        EXPECT_EQ(filesBelow(folder / reader), expected) << reader;
        EXPECT_EQ(readFile(folder / reader / "Names" / "日本語" / "ファイル.txt"), "日本語/ファイル.txt") << reader;
    }
}

TEST_F(InfoZipInterop, UnzipRejectsAWrongPasswordForOurArchives) {
    Zip::zipFiles({urlOf(folder / "src" / "Logs")}, urlOf(folder / "ours.zip"), "pässwörd");
    const auto unzipped = runInfoZip({"unzip", "-q", "-o", "-P", "passwort", "ours.zip", "-d", "out"}, folder.path());
    EXPECT_NE(unzipped.exitCode, 0);
    // The traditional encryption checks one byte: about one wrong password in 256 passes that
    // check, and unzip then writes garbage before the CRC fails. The plain text never comes out.
    if (std::filesystem::exists(folder / "out")) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "out")) {
            if (entry.is_regular_file()) {
                EXPECT_NE(readFile(entry.path()), logText) << entry.path();
            }
        }
    }
}

TEST_F(InfoZipInterop, WeReadZipsArchives) {
    struct Case {
        std::vector<std::string> options;
        std::optional<std::string> password;
    };
    const std::vector<Case> cases = {
        {{}, std::nullopt},
        {{"-9"}, "unused"},
        {{"-P", "secret"}, "secret"},
        {{"-P", "pässwörd-ß€"}, "pässwörd-ß€"},
        {{"-0", "-P", "stored"}, "stored"},
    };
    // Info-ZIP stores the name's bytes as they are, which we read as UTF-8.
    writeFile(folder / "src" / "Logs" / "Grüße.txt", "hallo");
    for (const auto& c : cases) {
        std::filesystem::remove(folder / "src" / "theirs.zip");
        std::vector<std::string> arguments = {"zip", "-q", "-r"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        arguments.insert(arguments.end(), {"theirs.zip", "Logs"});
        const auto zipped = runInfoZip(arguments, folder / "src");
        ASSERT_EQ(zipped.exitCode, 0) << zipped.output;
        std::filesystem::remove_all(folder / "out");
        Zip::unzipFile(urlOf(folder / "src" / "theirs.zip"), urlOf(folder / "out"), true, c.password);
        expectUnpackedLogs(folder / "out");
        EXPECT_EQ(readFile(folder / "out" / "Logs" / "Grüße.txt"), "hallo");
    }
}

TEST_F(InfoZipInterop, AWrongPasswordForZipsArchiveIsUnzipFail) {
    ASSERT_EQ(runInfoZip({"zip", "-q", "-r", "-P", "pässwörd", "theirs.zip", "Logs"}, folder / "src").exitCode, 0);
    for (const std::optional<std::string>& password : {std::optional<std::string>(), std::optional<std::string>("passwörd")}) {
        EXPECT_THROW(Zip::unzipFile(urlOf(folder / "src" / "theirs.zip"), urlOf(folder / "out"), true, password), ZipError);
    }
}

TEST_F(InfoZipInterop, UnzipTestsOurInMemoryArchivesIntact) {
    const std::vector<ArchiveFile> files = {
        {"one.txt", std::make_shared<const std::string>(logText), std::chrono::system_clock::now()},
        {"deep/two.bin", std::make_shared<const std::string>(noise), std::nullopt},
    };
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("")}) {
        Zip::zipData(files, urlOf(folder / "data.zip"), password, ZipCompression::BestCompression);
        std::vector<std::string> arguments = {"unzip", "-t", "-q"};
        if (password) arguments.insert(arguments.end(), {"-P", ""});
        arguments.push_back("data.zip");
        const auto tested = runInfoZip(arguments, folder.path());
        EXPECT_EQ(tested.exitCode, 0) << tested.output;
    }
}

}  // namespace
