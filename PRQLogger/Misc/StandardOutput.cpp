#include "PRQLogger/Misc/StandardOutput.hpp"

#include <cstdio>

namespace prq {

void printLine(std::string_view text) {
    ::flockfile(stdout);
    ::fwrite_unlocked(text.data(), 1, text.size(), stdout);
    ::fputc_unlocked('\n', stdout);
    ::funlockfile(stdout);
}

}  // namespace prq
