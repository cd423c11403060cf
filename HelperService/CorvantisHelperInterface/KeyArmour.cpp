#include "HelperService/CorvantisHelperInterface/KeyArmour.hpp"

#include "platform/foundation/Base64.hpp"

#include <algorithm>
#include <array>

namespace corvantis::helper::KeyArmour {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

constexpr std::size_t pemColumns = 64;
constexpr std::size_t staticKeyColumns = 32;
// The longest body line a reader of PEM accepts, and more than any key object needs.
constexpr std::size_t longestBodyLine = 76;
constexpr std::size_t largestObject = 64 << 10;
constexpr std::size_t mostCertificates = 16;

struct Expectation {
    std::vector<std::string_view> labels;
    std::size_t most;
    std::string_view what;
};

Expectation expectation(KeyBlockContent content) {
    switch (content) {
        case KeyBlockContent::certificates: return {{"CERTIFICATE"}, mostCertificates, "PEM certificates"};
        case KeyBlockContent::privateKey:
            return {{"PRIVATE KEY", "RSA PRIVATE KEY", "EC PRIVATE KEY"}, 1, "one unencrypted PEM private key"};
        case KeyBlockContent::staticKey: return {{staticKeyLabel}, 1, "one OpenVPN static key"};
    }
    return {{}, 0, ""};
}

bool isBase64Character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' || c == '=';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The label of an armour line "-----<edge> <label>-----"; empty when the line is none.
std::string_view armourLabel(std::string_view line, std::string_view edge) {
    constexpr std::string_view dashes = "-----";
    if (!line.starts_with(dashes) || !line.ends_with(dashes) || line.size() < 2 * dashes.size() + edge.size() + 2) return {};
    line = line.substr(dashes.size(), line.size() - 2 * dashes.size());
    if (!line.starts_with(edge) || line[edge.size()] != ' ') return {};
    return line.substr(edge.size() + 1);
}

// A DER value that is one SEQUENCE and nothing after it, as every certificate and key is.
bool isOneDerSequence(std::string_view bytes) {
    if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0x30) return false;
    const auto first = static_cast<unsigned char>(bytes[1]);
    std::size_t header = 2;
    std::size_t length = first;
    if (first >= 0x80) {
        const std::size_t count = first & 0x7fu;
        if (count == 0 || count > 3 || bytes.size() < 2 + count) return false;
        length = 0;
        for (std::size_t index = 0; index < count; ++index) length = length << 8 | static_cast<unsigned char>(bytes[2 + index]);
        header += count;
    }
    return header + length == bytes.size();
}

std::optional<std::string> decodeBody(std::string_view label, std::string_view body) {
    if (label == staticKeyLabel) {
        if (body.size() != 2 * staticKeyBytes) return std::nullopt;
        std::string bytes;
        for (std::size_t at = 0; at < body.size(); at += 2) {
            const int high = hexValue(body[at]);
            const int low = hexValue(body[at + 1]);
            if (high < 0 || low < 0) return std::nullopt;
            bytes.push_back(static_cast<char>(high << 4 | low));
        }
        return bytes;
    }
    auto bytes = platform::foundation::Base64::decode(body);
    if (!bytes || !isOneDerSequence(*bytes)) return std::nullopt;
    return bytes;
}

bool isBodyLine(std::string_view label, std::string_view line) {
    if (line.empty() || line.size() > longestBodyLine) return false;
    if (label == staticKeyLabel) return std::all_of(line.begin(), line.end(), [](char c) { return hexValue(c) >= 0; });
    return std::all_of(line.begin(), line.end(), isBase64Character);
}

}  // namespace

Expected<std::vector<KeyObject>> read(const std::vector<std::string_view>& lines, KeyBlockContent content) {
    const auto expected = expectation(content);
    const auto refuse = [&](const std::string& why) {
        return Error{EINVAL, "is not " + std::string(expected.what) + ": " + why};
    };
    std::vector<KeyObject> objects;
    std::string_view label;
    std::string body;
    for (const auto line : lines) {
        if (!label.empty()) {
            if (armourLabel(line, "END") == label) {
                auto bytes = decodeBody(label, body);
                if (!bytes || bytes->size() > largestObject) return refuse("an object's body does not decode as its kind");
                objects.push_back({std::string(label), std::move(*bytes)});
                label = {};
                body.clear();
            } else if (isBodyLine(label, line) && body.size() < 2 * largestObject) {
                body += line;
            } else {
                return refuse("an object holds a line that is not of its body");
            }
            continue;
        }
        if (line.empty()) continue;
        if (line.front() == '#' && objects.empty()) continue;
        const auto begun = armourLabel(line, "BEGIN");
        if (begun.empty() || std::find(expected.labels.begin(), expected.labels.end(), begun) == expected.labels.end()) {
            return refuse("it holds text outside the armour of the objects it may hold");
        }
        if (objects.size() == expected.most) return refuse("it holds more objects than it may");
        label = begun;
    }
    if (!label.empty()) return refuse("an object is never ended");
    if (objects.empty()) return refuse("it is empty");
    return objects;
}

std::string write(const KeyObject& object) {
    std::string text = "-----BEGIN " + object.label + "-----\n";
    const bool isStaticKey = object.label == staticKeyLabel;
    std::string body;
    if (isStaticKey) {
        constexpr std::array<char, 16> digits{'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
        for (const char byte : object.bytes) {
            body.push_back(digits[static_cast<unsigned char>(byte) >> 4]);
            body.push_back(digits[static_cast<unsigned char>(byte) & 0xfu]);
        }
    } else {
        body = platform::foundation::Base64::encode(object.bytes);
    }
    const std::size_t columns = isStaticKey ? staticKeyColumns : pemColumns;
    for (std::size_t at = 0; at < body.size(); at += columns) text += body.substr(at, columns) + "\n";
    return text + "-----END " + object.label + "-----\n";
}

}  // namespace corvantis::helper::KeyArmour
