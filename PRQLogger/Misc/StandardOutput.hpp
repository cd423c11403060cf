#pragma once

#include <string_view>

namespace prq {

// Prints the text and a line feed to standard output as one unit: lines printed by several
// threads at once never mix, and they keep their order with the program's other output.
void printLine(std::string_view text);

}  // namespace prq
