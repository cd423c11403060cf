#include "Zip/Zip.hpp"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace corvantis::zip;

namespace {

// Leaves the process-wide set as it found it.
class FileExtensions : public ::testing::Test {
protected:
    void TearDown() override { Zip::customFileExtensions.clear(); }
};

TEST_F(FileExtensions, OnlyZipAndCbzAreBuiltInAndMatchExactly) {
    const std::vector<std::pair<std::string, bool>> cases = {{"zip", true},   {"cbz", true},   {"ZIP", false}, {"Zip", false},
                                                             {".zip", false}, {" zip", false}, {"", false},    {"rar", false}};
    for (const auto& [extension, valid] : cases) {
        EXPECT_EQ(Zip::isValidFileExtension(extension), valid) << extension;
        EXPECT_EQ(Zip::fileExtensionIsInvalid(extension), !valid) << extension;
    }
    EXPECT_TRUE(Zip::fileExtensionIsInvalid(std::nullopt));
}

TEST_F(FileExtensions, CustomExtensionsComeAndGoButBuiltInOnesStay) {
    Zip::addCustomFileExtension("ipa");
    Zip::addCustomFileExtension("ipa");
    EXPECT_TRUE(Zip::isValidFileExtension("ipa"));
    EXPECT_EQ(Zip::customFileExtensions.size(), 1u);
    Zip::removeCustomFileExtension("ipa");
    Zip::removeCustomFileExtension("never added");
    EXPECT_FALSE(Zip::isValidFileExtension("ipa"));
    EXPECT_TRUE(Zip::customFileExtensions.empty());

    Zip::removeCustomFileExtension("zip");
    EXPECT_TRUE(Zip::isValidFileExtension("zip"));
    Zip::addCustomFileExtension("");
    EXPECT_FALSE(Zip::fileExtensionIsInvalid(""));
}

TEST(ZipCompressionLevels, RawValuesAndDeflateLevelsDiffer) {
    const std::vector<std::pair<ZipCompression, int>> levels = {{ZipCompression::NoCompression, 0},
                                                                {ZipCompression::BestSpeed, 1},
                                                                {ZipCompression::DefaultCompression, -1},
                                                                {ZipCompression::BestCompression, 9}};
    for (int raw = 0; raw < 4; ++raw) {
        ASSERT_EQ(ZipCompressionFromRaw(raw), levels[static_cast<std::size_t>(raw)].first);
        EXPECT_EQ(minizipCompression(levels[static_cast<std::size_t>(raw)].first), levels[static_cast<std::size_t>(raw)].second);
    }
    EXPECT_EQ(ZipCompressionFromRaw(4), std::nullopt);
    EXPECT_EQ(ZipCompressionFromRaw(-1), std::nullopt);
}

TEST(ZipErrors, CarryTheirOwnTextAndThePlatformsGenericOne) {
    const ZipError errors[] = {ZipError::fileNotFound, ZipError::unzipFail, ZipError::zipFail};
    const std::string descriptions[] = {"File not found.", "Failed to unzip file.", "Failed to zip file."};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(errors[i].description(), descriptions[i]);
        EXPECT_EQ(std::string(errors[i].what()),
                  "The operation couldn’t be completed. (Zip.ZipError error " + std::to_string(i) + ".)");
    }
    EXPECT_EQ(ZipError(ZipError::zipFail), ZipError::zipFail);
    EXPECT_FALSE(ZipError(ZipError::zipFail) == ZipError::unzipFail);
    const std::unordered_set<ZipError> distinct(std::begin(errors), std::end(errors));
    EXPECT_EQ(distinct.size(), 3u);
}

}  // namespace
