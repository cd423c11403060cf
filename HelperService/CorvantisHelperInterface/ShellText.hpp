#pragma once

#include <string>
#include <string_view>

namespace corvantis::helper {

// How the application puts a path into a command line for the helper, and how the helper
// expects to find it there: both sides build the text with these, so they always agree.
namespace ShellText {

// The path as one shell word: unchanged when every character is one of A–Z a–z 0–9 _ . / + -,
// else between single quotes, a single quote inside written as '\''.
std::string word(std::string_view path);

// The text between double quotes, with ", $, ` and \ escaped by a backslash.
std::string doubleQuoted(std::string_view text);

}  // namespace ShellText

}  // namespace corvantis::helper
