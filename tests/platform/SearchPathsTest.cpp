#include "platform/foundation/SearchPaths.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>

using corvantis::testing::TemporaryFolder;

namespace {

// Sets environment variables for one test and restores them afterwards.
class Environment {
public:
    void set(const std::string& name, const char* value) {
        if (!saved_.contains(name)) {
            const char* old = std::getenv(name.c_str());
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) {
            ::setenv(name.c_str(), value, 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

TEST(SearchPaths, DocumentsFollowTheDesktopsSettingsThenTheHomeFolder) {
    TemporaryFolder folder;
    Environment environment;
    environment.set("HOME", folder.path().c_str());
    environment.set("XDG_CONFIG_HOME", nullptr);
    environment.set("XDG_DOCUMENTS_DIR", nullptr);
    EXPECT_EQ(platform::foundation::userDocumentsDirectory(), folder / "Documents");

    std::filesystem::create_directories(folder / ".config");
    std::ofstream(folder / ".config" / "user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
        << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(platform::foundation::userDocumentsDirectory(), folder / "Dokumente");

    std::filesystem::create_directories(folder / "config");
    std::ofstream(folder / "config" / "user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"/srv/papers\"\n";
    environment.set("XDG_CONFIG_HOME", (folder / "config").c_str());
    EXPECT_EQ(platform::foundation::userDocumentsDirectory(), std::filesystem::path("/srv/papers"));

    environment.set("XDG_DOCUMENTS_DIR", "/data/docs");
    EXPECT_EQ(platform::foundation::userDocumentsDirectory(), std::filesystem::path("/data/docs"));
    environment.set("XDG_DOCUMENTS_DIR", "relative/docs");
    EXPECT_EQ(platform::foundation::userDocumentsDirectory(), std::filesystem::path("/srv/papers"));
}

}  // namespace
