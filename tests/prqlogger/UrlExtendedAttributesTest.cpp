#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using platform::foundation::Url;

namespace {

TEST(UrlExtendedAttributes, WorkOnTheFileAFileUrlNamesAndFailForOtherUrls) {
    corvantis::testing::TemporaryFolder folder;
    const auto path = folder / "tagged.log";
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(path, "", 0644));
    const auto url = Url::fileUrl(path.string());
    if (!prq::setExtendedAttribute(url, "", "com.corvantis.probe")) GTEST_SKIP() << "no user attributes here";

    ASSERT_TRUE(prq::setExtendedAttribute(url, "value", "com.corvantis.tag"));
    EXPECT_EQ(prq::extendedAttribute(url, "com.corvantis.tag").value(), "value");
    EXPECT_EQ(prq::extendedAttribute(url, "com.corvantis.probe").value(), "");  // empty, not absent
    EXPECT_EQ(prq::extendedAttribute(url, "com.corvantis.none").value(), std::nullopt);
    const auto names = prq::listExtendedAttributes(url).value();
    EXPECT_NE(std::find(names.begin(), names.end(), "com.corvantis.tag"), names.end());
    ASSERT_TRUE(prq::removeExtendedAttribute(url, "com.corvantis.tag"));
    const auto again = prq::removeExtendedAttribute(url, "com.corvantis.tag");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, ENODATA);

    const auto web = Url::fromString("https://example.com/file").value();
    EXPECT_EQ(prq::extendedAttribute(web, "com.corvantis.tag").value(), std::nullopt);
    EXPECT_FALSE(prq::setExtendedAttribute(web, "v", "com.corvantis.tag"));
    EXPECT_FALSE(prq::listExtendedAttributes(web));
}

}  // namespace
