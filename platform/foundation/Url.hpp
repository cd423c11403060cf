#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::foundation {

// An absolute URL: a file location or a web address. Held in its encoded text form; the
// accessors decode what they return.
class Url {
public:
    // Parses an absolute URL ("scheme:…"); none when the text has no valid scheme or holds
    // characters that a URL cannot carry unencoded (blanks, control characters, non-ASCII).
    static std::optional<Url> fromString(std::string_view text);
    // A file URL for a path; a relative path is taken from the current folder.
    static Url fileUrl(std::string_view path, bool isDirectory = false);

    const std::string& absoluteString() const { return text_; }
    std::string scheme() const;
    bool isFileUrl() const;
    std::optional<std::string> host() const;
    std::optional<int> port() const;
    std::optional<std::string> query() const;

    // The percent-decoded path, without a trailing "/" (except for the root itself).
    std::string path() const;
    // "/" followed by the path's parts, as the system gives them.
    std::vector<std::string> pathComponents() const;
    std::string lastPathComponent() const;
    // The text after the last "." of the last component; empty when there is none or the
    // component only starts with a dot.
    std::string pathExtension() const;
    bool hasDirectoryPath() const;

    Url appendingPathComponent(std::string_view component, bool isDirectory = false) const;
    Url appendingPathExtension(std::string_view extension) const;
    Url deletingLastPathComponent() const;
    Url deletingPathExtension() const;

    bool operator==(const Url& other) const { return text_ == other.text_; }

    // Percent-encodes every byte outside the characters allowed in a URL path.
    static std::string encodePath(std::string_view path);
    // Whether every character of `text` may stand unencoded in a URL (no blanks, control
    // characters, non-ASCII bytes or the characters URLs exclude).
    static bool isUnencodedText(std::string_view text);
    // Decodes "%XX" escapes; malformed escapes stay as they are.
    static std::string percentDecode(std::string_view text);

private:
    struct Parts {
        std::string scheme;
        std::optional<std::string> authority;
        std::string path;  // encoded
        std::optional<std::string> query;
        std::optional<std::string> fragment;
    };

    explicit Url(Parts parts);
    Parts parts() const;
    Url withEncodedPath(std::string encodedPath) const;

    std::string text_;
};

}  // namespace platform::foundation
