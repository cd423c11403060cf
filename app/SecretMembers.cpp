#include "app/SecretMembers.hpp"

#include <algorithm>
#include <ranges>

namespace corvantis {

namespace {
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) ++at;
    return at;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Reads the four hex digits at `at`; -1 when they are not there.
int fourHex(std::string_view text, std::size_t at) {
    if (at + 4 > text.size()) return -1;
    int value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        const int digit = hexValue(text[at + i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// The end of the text token whose content starts at `at` (its closing quote, or the end of the
// text), and its decoded content. A broken escape is taken as it stands.
std::size_t readText(std::string_view text, std::size_t at, std::string* decoded) {
    while (at < text.size() && text[at] != '"') {
        if (text[at] != '\\' || at + 1 >= text.size()) {
            if (decoded) *decoded += text[at];
            ++at;
            continue;
        }
        const char escaped = text[at + 1];
        at += 2;
        if (!decoded) continue;
        switch (escaped) {
            case 'b': *decoded += '\b'; break;
            case 'f': *decoded += '\f'; break;
            case 'n': *decoded += '\n'; break;
            case 'r': *decoded += '\r'; break;
            case 't': *decoded += '\t'; break;
            case 'u': {
                int code = fourHex(text, at);
                if (code < 0) break;
                at += 4;
                if (code >= 0xD800 && code < 0xDC00 && at + 6 <= text.size() && text[at] == '\\' && text[at + 1] == 'u') {
                    if (const int low = fourHex(text, at + 2); low >= 0xDC00 && low < 0xE000) {
                        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                        at += 6;
                    }
                }
                appendUtf8(*decoded, static_cast<unsigned>(code));
                break;
            }
            default: *decoded += escaped;
        }
    }
    return at;
}

// The end of a value that is not a text: its closing bracket, or the comma or bracket that ends
// it, or the end of the text. Brackets are counted, never followed.
std::size_t readOther(std::string_view text, std::size_t at) {
    std::size_t depth = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == '"') {
            at = readText(text, at + 1, nullptr);
            if (at < text.size()) ++at;
            continue;
        }
        if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth == 0) break;
            if (--depth == 0) return at + 1;
        } else if (c == ',' && depth == 0) {
            break;
        }
        ++at;
    }
    while (at > 0 && isBlank(text[at - 1])) --at;
    return at;
}

bool isSecretName(std::string_view name) {
    return std::ranges::find(SecretMembers::names, name) != SecretMembers::names.end();
}
}  // namespace

std::vector<SecretMembers::Span> SecretMembers::spansIn(std::string_view text) {
    std::vector<Span> spans;
    std::size_t at = 0;
    while (at < text.size()) {
        if (text[at] != '"') {
            ++at;
            continue;
        }
        std::string name;
        at = readText(text, at + 1, &name);
        if (at < text.size()) ++at;
        const auto colon = skipBlanks(text, at);
        if (colon >= text.size() || text[colon] != ':' || !isSecretName(name)) continue;
        const auto value = skipBlanks(text, colon + 1);
        if (value < text.size() && text[value] == '"') {
            const auto end = readText(text, value + 1, nullptr);
            spans.push_back({value + 1, end, true});
            at = end < text.size() ? end + 1 : end;
        } else {
            const auto end = std::max(value, readOther(text, value));
            spans.push_back({value, end, false});
            at = end;
        }
    }
    return spans;
}

void SecretMembers::collect(std::string_view text, std::set<std::string>& found) {
    for (const auto& span : spansIn(text)) {
        if (!span.isText || span.end == span.begin) continue;
        std::string decoded;
        readText(text.substr(0, span.end), span.begin, &decoded);
        found.insert(std::move(decoded));
    }
}

void SecretMembers::mask(std::string& text, std::string_view mask) {
    // From the back, so that the spans still ahead keep their places.
    for (const auto& span : std::views::reverse(spansIn(text))) {
        if (span.end == span.begin) continue;
        text.replace(span.begin, span.end - span.begin, span.isText ? mask : "\"" + std::string(mask) + "\"");
    }
}

}  // namespace corvantis
