#include "platform/foundation/ExtendedAttributes.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/xattr.h>

using corvantis::testing::TemporaryFolder;
namespace ExtendedAttributes = platform::foundation::ExtendedAttributes;

namespace {

TEST(ExtendedAttributes, NamesWithoutALinuxNamespaceLiveUnderUser) {
    const std::pair<const char*, const char*> cases[] = {
        {"com.amberfieldworks.prqlogger.archived.by", "user.com.amberfieldworks.prqlogger.archived.by"},
        {"plain", "user.plain"},
        {"user.already", "user.already"},
        {"trusted.x", "trusted.x"},
        {"security.selinux", "security.selinux"},
        {"system.posix_acl_access", "system.posix_acl_access"},
        {"users.x", "user.users.x"},
    };
    for (const auto& [name, systemName] : cases) EXPECT_EQ(ExtendedAttributes::systemName(name), systemName);
}

class ExtendedAttributesOnFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(file_, "", 0644));
        if (::setxattr(file_.c_str(), "user.probe", "", 0, 0) != 0) {
            GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
        }
        ::removexattr(file_.c_str(), "user.probe");
    }

    TemporaryFolder folder_;
    std::filesystem::path file_ = folder_ / "tagged.log";
};

TEST_F(ExtendedAttributesOnFile, ValuesRoundTripUnderTheCallersNames) {
    ASSERT_TRUE(ExtendedAttributes::set(file_, "com.corvantis.by", "file"));
    ASSERT_TRUE(ExtendedAttributes::set(file_, "com.corvantis.empty", ""));
    ASSERT_TRUE(ExtendedAttributes::set(file_, "user.security.note", "kept"));
    char stored[16] = {};
    EXPECT_EQ(::getxattr(file_.c_str(), "user.com.corvantis.by", stored, sizeof stored), 4);

    EXPECT_EQ(ExtendedAttributes::get(file_, "com.corvantis.by").value(), "file");
    EXPECT_EQ(ExtendedAttributes::get(file_, "com.corvantis.empty").value(), "");
    EXPECT_EQ(ExtendedAttributes::get(file_, "com.corvantis.missing").value(), std::nullopt);

    auto names = ExtendedAttributes::list(file_).value();
    std::sort(names.begin(), names.end());
    // "user.security.note" keeps its prefix: without it the name would mean another namespace.
    EXPECT_EQ(names, (std::vector<std::string>{"com.corvantis.by", "com.corvantis.empty", "user.security.note"}));
    for (const auto& name : names) EXPECT_TRUE(ExtendedAttributes::get(file_, name).value()) << name;
}

TEST_F(ExtendedAttributesOnFile, SymbolicLinksAreFollowed) {
    const auto link = folder_ / "link.log";
    std::filesystem::create_symlink(file_, link);
    ASSERT_TRUE(ExtendedAttributes::set(link, "com.corvantis.by", "link"));
    EXPECT_EQ(ExtendedAttributes::get(file_, "com.corvantis.by").value(), "link");
}

TEST_F(ExtendedAttributesOnFile, FailuresCarryTheSystemsCodeAndText) {
    const auto missing = folder_ / "missing.log";
    EXPECT_EQ(ExtendedAttributes::get(missing, "com.corvantis.by").value(), std::nullopt);
    const auto set = ExtendedAttributes::set(missing, "com.corvantis.by", "x");
    ASSERT_FALSE(set);
    EXPECT_EQ(set.error().code, ENOENT);
    EXPECT_EQ(set.error().message, "No such file or directory");
    EXPECT_FALSE(ExtendedAttributes::list(missing));

    ASSERT_TRUE(ExtendedAttributes::set(file_, "com.corvantis.once", "x"));
    ASSERT_TRUE(ExtendedAttributes::remove(file_, "com.corvantis.once"));
    const auto again = ExtendedAttributes::remove(file_, "com.corvantis.once");
    ASSERT_FALSE(again);
    EXPECT_EQ(again.error().code, ENODATA);
}

}  // namespace
