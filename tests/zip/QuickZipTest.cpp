#include "ArchiveFixtures.hpp"
#include "Zip/Zip.hpp"
#include "platform/Services.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

class QuickZip : public ::testing::Test {
protected:
    platform::Services withDocuments(std::optional<std::filesystem::path> documents) {
        platform::Services services;
        services.documentsDirectoryOverride = [documents] { return documents; };
        return services;
    }

    TemporaryFolder folder;
    platform::ScopedServices services{withDocuments(folder / "Documents")};
};

TEST_F(QuickZip, UnzipsIntoAFolderNamedAfterTheArchiveAndReplacesItsFiles) {
    writeFixture(folder / "photos.zip", {{"a.jpg", "first"}});
    const Url destination = Zip::quickUnzipFile(urlOf(folder / "photos.zip"));
    EXPECT_EQ(destination.path(), (folder / "Documents" / "photos").string());
    EXPECT_EQ(readFile(folder / "Documents" / "photos" / "a.jpg"), "first");

    writeFixture(folder / "photos.zip", {{"a.jpg", "second"}});
    std::vector<double> fractions;
    Zip::quickUnzipFile(urlOf(folder / "photos.zip"), [&](double fraction) { fractions.push_back(fraction); });
    EXPECT_EQ(readFile(folder / "Documents" / "photos" / "a.jpg"), "second");
    ASSERT_EQ(fractions.size(), 2u);
    EXPECT_EQ(fractions.back(), 1.0);
}

TEST_F(QuickZip, TakesEveryDotExtensionOutOfTheFolderName) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a.zip.zip", "a"}, {"my.zipper.zip", "myper"}, {"v1.2.cbz", "v1.2"}};
    for (const auto& [archive, expected] : cases) {
        writeFixture(folder / archive, {{"x", "x"}});
        EXPECT_EQ(Zip::quickUnzipFile(urlOf(folder / archive)).lastPathComponent(), expected);
        EXPECT_EQ(readFile(folder / "Documents" / expected / "x"), "x");
    }
}

TEST_F(QuickZip, EveryUnzipFailureIsUnzipFail) {
    writeFile(folder / "broken.zip", "no archive");
    writeFixture(folder / ".zip.zip", {{"x", "x"}});  // every ".zip" out leaves no name
    for (const auto& archive : {folder / "missing.zip", folder / "broken.zip", folder / ".zip.zip"}) {
        try {
            Zip::quickUnzipFile(urlOf(archive));
            ADD_FAILURE() << archive << " unpacked";
        } catch (const ZipError& error) {
            EXPECT_EQ(error, ZipError::unzipFail) << archive;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "Documents" / "x"));
}

TEST_F(QuickZip, ZipsIntoTheDocumentsFolderUnderTheGivenName) {
    writeFile(folder / "a.log", "log");
    std::filesystem::create_directories(folder / "Documents");
    const Url archive = Zip::quickZipFiles({urlOf(folder / "a.log")}, "logs");
    EXPECT_EQ(archive.path(), (folder / "Documents" / "logs.zip").string());
    EXPECT_EQ(readArchive(folder / "Documents" / "logs.zip").at(0).data, "log");
}

TEST_F(QuickZip, RefusesNamesThatWouldLeaveTheDocumentsFolder) {
    writeFile(folder / "a.log", "log");
    std::filesystem::create_directories(folder / "Documents" / "sub");
    for (const std::string& name : std::vector<std::string>{"", ".", "..", "../escape", "sub/inner", std::string("nul\0x", 5)}) {
        try {
            Zip::quickZipFiles({urlOf(folder / "a.log")}, name);
            ADD_FAILURE() << "packed as " << name;
        } catch (const ZipError& error) {
            EXPECT_EQ(error, ZipError::zipFail);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "escape.zip"));
    EXPECT_FALSE(std::filesystem::exists(folder / "Documents" / "sub" / "inner.zip"));
}

TEST_F(QuickZip, WithoutADocumentsFolderNothingIsTouched) {
    platform::ScopedServices noDocuments(withDocuments(std::nullopt));
    writeFixture(folder / "a.zip", {{"x", "x"}});
    try {
        Zip::quickUnzipFile(urlOf(folder / "a.zip"));
        ADD_FAILURE() << "unpacked without a Documents folder";
    } catch (const ZipError& error) {
        EXPECT_EQ(error, ZipError::unzipFail);
    }
    try {
        Zip::quickZipFiles({urlOf(folder / "a.zip")}, "logs");
        ADD_FAILURE() << "packed without a Documents folder";
    } catch (const ZipError& error) {
        EXPECT_EQ(error, ZipError::zipFail);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), {}), 1);
}

}  // namespace
