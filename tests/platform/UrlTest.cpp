#include "platform/foundation/Url.hpp"

#include <gtest/gtest.h>

using platform::foundation::Url;

namespace {

TEST(FileUrl, PercentEncodesBlanksAndNonAsciiInTheAbsoluteString) {
    const struct {
        const char* path;
        const char* absolute;
    } cases[] = {
        {"/tmp/CorvantisLogs/CorvantisVPN_071220262202.log", "file:///tmp/CorvantisLogs/CorvantisVPN_071220262202.log"},
        {"/tmp/My Logs/a b.log", "file:///tmp/My%20Logs/a%20b.log"},
        {"/tmp/Zürich/日本.txt", "file:///tmp/Z%C3%BCrich/%E6%97%A5%E6%9C%AC.txt"},
        {"/tmp/100%/x#y?z", "file:///tmp/100%25/x%23y%3Fz"},
        {"/tmp/a//b/./c/", "file:///tmp/a/b/c"},
    };
    for (const auto& example : cases) {
        const Url url = Url::fileUrl(example.path);
        EXPECT_EQ(url.absoluteString(), example.absolute) << example.path;
        EXPECT_TRUE(url.isFileUrl());
    }
    EXPECT_EQ(Url::fileUrl("/tmp/My Logs/a b.log").path(), "/tmp/My Logs/a b.log");
    EXPECT_EQ(Url::fileUrl("/tmp/Zürich/日本.txt").lastPathComponent(), "日本.txt");
}

TEST(FileUrl, DirectoryUrlsEndInASlashButPathsDoNot) {
    const Url folder = Url::fileUrl("/tmp/CorvantisLogs", true);
    EXPECT_EQ(folder.absoluteString(), "file:///tmp/CorvantisLogs/");
    EXPECT_TRUE(folder.hasDirectoryPath());
    EXPECT_EQ(folder.path(), "/tmp/CorvantisLogs");
    const Url file = folder.appendingPathComponent("CorvantisVPN_1.log");
    EXPECT_EQ(file.absoluteString(), "file:///tmp/CorvantisLogs/CorvantisVPN_1.log");
    EXPECT_EQ(file.deletingLastPathComponent().absoluteString(), "file:///tmp/CorvantisLogs/");
    EXPECT_EQ(Url::fileUrl("/").path(), "/");
}

TEST(FileUrl, RelativePathsStartAtTheCurrentFolder) {
    const Url url = Url::fileUrl("relative/name.txt");
    EXPECT_TRUE(url.path().starts_with("/"));
    EXPECT_TRUE(url.path().ends_with("/relative/name.txt"));
}

TEST(UrlPath, ComponentsAndExtensions) {
    const struct {
        const char* path;
        const char* last;
        const char* extension;
    } cases[] = {
        {"/a/b/archive.tar.gz", "archive.tar.gz", "gz"},
        {"/a/b/.profile", ".profile", ""},
        {"/a/b/trailing.", "trailing.", ""},
        {"/a/b/noext", "noext", ""},
        {"/a/b/dir.d/", "dir.d", "d"},
        {"/", "/", ""},
    };
    for (const auto& example : cases) {
        const Url url = Url::fileUrl(example.path);
        EXPECT_EQ(url.lastPathComponent(), example.last) << example.path;
        EXPECT_EQ(url.pathExtension(), example.extension) << example.path;
    }
    EXPECT_EQ(Url::fileUrl("/a/b/c.log").pathComponents(), (std::vector<std::string>{"/", "a", "b", "c.log"}));
    EXPECT_EQ(Url::fileUrl("/a/b/c.log").deletingPathExtension().absoluteString(), "file:///a/b/c");
    EXPECT_EQ(Url::fileUrl("/a/b/c").appendingPathExtension("zip").absoluteString(), "file:///a/b/c.zip");
}

TEST(WebUrl, ParsesSchemeHostPortAndQuery) {
    const auto url = Url::fromString("https://api.example.com:8443/v1/users/profile?full=1#top");
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), "https");
    EXPECT_FALSE(url->isFileUrl());
    EXPECT_EQ(url->host(), std::optional<std::string>("api.example.com"));
    EXPECT_EQ(url->port(), std::optional<int>(8443));
    EXPECT_EQ(url->query(), std::optional<std::string>("full=1"));
    EXPECT_EQ(url->path(), "/v1/users/profile");
    EXPECT_EQ(url->appendingPathComponent("x").absoluteString(), "https://api.example.com:8443/v1/users/profile/x?full=1#top");

    const auto loopback = Url::fromString("http://[::1]/token");
    ASSERT_TRUE(loopback);
    EXPECT_EQ(loopback->host(), std::optional<std::string>("::1"));
    EXPECT_EQ(loopback->port(), std::nullopt);
}

TEST(WebUrl, RefusesTextThatIsNoUrl) {
    for (const char* text : {"", "no scheme", "://x", "1http://x", "http://a b", "http://x/%zz", "http://x/\xc3\xbc"}) {
        EXPECT_FALSE(Url::fromString(text)) << text;
    }
    EXPECT_EQ(Url::fromString("FILE:///x")->scheme(), "file");
}

TEST(PercentDecoding, DecodesValidEscapesAndKeepsBrokenOnes) {
    EXPECT_EQ(Url::percentDecode("a%20b%C3%BC"), "a bü");
    EXPECT_EQ(Url::percentDecode("100%"), "100%");
    EXPECT_EQ(Url::percentDecode("%2"), "%2");
    EXPECT_EQ(Url::percentDecode("%g0"), "%g0");
}

}  // namespace
