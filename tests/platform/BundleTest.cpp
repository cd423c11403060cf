#include "platform/Services.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

using platform::foundation::Bundle;

namespace {

TEST(Bundle, InfoDictionaryIsTheJsonObjectInInfoJson) {
    const std::pair<const char*, bool> cases[] = {
        {R"({"CFBundleShortVersionString": "1.2", "CFBundleVersion": "34"})", true},
        {R"(["not", "an", "object"])", false},
        {"{ broken", false},
    };
    for (const auto& [content, isObject] : cases) {
        corvantis::testing::TemporaryFolder folder;
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / Bundle::infoFileName, content, 0644));
        const Bundle bundle(folder.path());
        EXPECT_EQ(bundle.bundlePath(), folder.path());
        EXPECT_EQ(bundle.infoDictionary().has_value(), isObject) << content;
    }
    corvantis::testing::TemporaryFolder empty;
    EXPECT_FALSE(Bundle(empty.path()).infoDictionary());
}

TEST(Bundle, LocalizedStringsComeFromTheTableElseTheValueElseTheKey) {
    corvantis::testing::TemporaryFolder folder;
    ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / "Localizable.strings.json",
                                                                      R"({"Hello": "Hallo", "Count": 3})", 0644));
    ASSERT_TRUE(
        platform::foundation::FileSystem::writeFileAtomically(folder / "Errors.strings.json", R"({"Hello": "Fehler"})", 0644));
    const Bundle bundle(folder.path());
    EXPECT_EQ(bundle.localizedString("Hello", ""), "Hallo");
    EXPECT_EQ(bundle.localizedString("Hello", "", "Errors"), "Fehler");
    EXPECT_EQ(bundle.localizedString("Missing", ""), "Missing");
    EXPECT_EQ(bundle.localizedString("Missing", "Fallback"), "Fallback");
    EXPECT_EQ(bundle.localizedString("Count", ""), "Count");  // not a text
    EXPECT_EQ(bundle.localizedString("Hello", "", "NoSuchTable"), "Hello");
}

TEST(Bundle, MainIsTheExecutablesFolderUnlessTheServicesSayOtherwise) {
    EXPECT_EQ(Bundle::main()->bundlePath(), std::filesystem::read_symlink("/proc/self/exe").parent_path());
    platform::Services services;
    services.mainBundleOverride = std::make_shared<Bundle>("/somewhere");
    const platform::ScopedServices scope(services);
    EXPECT_EQ(Bundle::main()->bundlePath(), "/somewhere");
}

}  // namespace
