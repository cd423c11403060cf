#include "testbed/backend/FormBody.hpp"

namespace corvantis::testbed::FormBody {

namespace {
constexpr std::string_view crlf = "\r\n";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else {
            if (i + 2 >= text.size() || hexValue(text[i + 1]) < 0 || hexValue(text[i + 2]) < 0) return std::nullopt;
            decoded += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        }
    }
    return decoded;
}

std::optional<std::string> boundaryOf(std::string_view contentType) {
    constexpr std::string_view marker = "boundary=";
    const auto at = contentType.find(marker);
    if (!contentType.starts_with("multipart/form-data;") || at == std::string_view::npos) return std::nullopt;
    return std::string(contentType.substr(at + marker.size()));
}

// The field name of a part's head: exactly one "Content-Disposition: form-data; name="…"" line.
std::optional<std::string> fieldNameOf(std::string_view head) {
    constexpr std::string_view prefix = "Content-Disposition: form-data; name=\"";
    if (!head.starts_with(prefix) || !head.ends_with("\"")) return std::nullopt;
    const auto name = head.substr(prefix.size(), head.size() - prefix.size() - 1);
    if (name.find('"') != std::string_view::npos || name.find(crlf) != std::string_view::npos) return std::nullopt;
    return std::string(name);
}
}  // namespace

std::optional<FormFields> parseMultipart(std::string_view contentType, std::string_view body) {
    const auto boundary = boundaryOf(contentType);
    if (!boundary || boundary->empty()) return std::nullopt;
    const std::string delimiter = "--" + *boundary;
    const std::string closing = delimiter + "--" + std::string(crlf);
    FormFields fields;
    std::string_view rest = body;
    for (;;) {
        if (rest == closing) return fields;
        if (!rest.starts_with(delimiter + std::string(crlf))) return std::nullopt;
        rest.remove_prefix(delimiter.size() + crlf.size());
        const auto headEnd = rest.find("\r\n\r\n");
        if (headEnd == std::string_view::npos) return std::nullopt;
        auto name = fieldNameOf(rest.substr(0, headEnd));
        if (!name) return std::nullopt;
        rest.remove_prefix(headEnd + 4);
        const auto valueEnd = rest.find(std::string(crlf) + delimiter);
        if (valueEnd == std::string_view::npos) return std::nullopt;
        fields.emplace_back(std::move(*name), std::string(rest.substr(0, valueEnd)));
        rest.remove_prefix(valueEnd + crlf.size());
    }
}

std::optional<FormFields> parseUrlEncoded(std::string_view body) {
    FormFields fields;
    if (body.empty()) return fields;
    std::size_t start = 0;
    for (;;) {
        const auto end = body.find('&', start);
        const auto pair = body.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        const auto equals = pair.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        auto name = percentDecoded(pair.substr(0, equals));
        auto value = percentDecoded(pair.substr(equals + 1));
        if (!name || !value) return std::nullopt;
        fields.emplace_back(std::move(*name), std::move(*value));
        if (end == std::string_view::npos) return fields;
        start = end + 1;
    }
}

std::optional<std::string> value(const FormFields& fields, std::string_view name) {
    for (const auto& [field, text] : fields) {
        if (field == name) return text;
    }
    return std::nullopt;
}

}  // namespace corvantis::testbed::FormBody
