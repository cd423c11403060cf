#include "HelperService/CorvantisHelperInterface/ShellText.hpp"

#include <algorithm>

namespace corvantis::helper::ShellText {

namespace {

bool isPlain(char character) {
    return (character >= 'A' && character <= 'Z') || (character >= 'a' && character <= 'z') ||
           (character >= '0' && character <= '9') || std::string_view("_./+-").find(character) != std::string_view::npos;
}

}  // namespace

std::string word(std::string_view path) {
    if (!path.empty() && std::all_of(path.begin(), path.end(), isPlain)) return std::string(path);
    std::string quoted = "'";
    for (const char character : path) {
        if (character == '\'') {
            quoted += "'\\''";
        } else {
            quoted += character;
        }
    }
    return quoted + "'";
}

std::string doubleQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char character : text) {
        if (character == '"' || character == '$' || character == '`' || character == '\\') quoted += '\\';
        quoted += character;
    }
    return quoted + "\"";
}

}  // namespace corvantis::helper::ShellText
