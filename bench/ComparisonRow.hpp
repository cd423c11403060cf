#pragma once

// What every bench/compare_* program shares: the median of its interleaved repetitions and the
// table row that scripts/bench collects from its standard output.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace corvantis::bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

inline void printRow(const std::string& work, const std::string& ours, const std::string& reference, const std::string& ratio,
                     const std::string& target, bool met) {
    std::cout << "ROW\t" << work << '\t' << ours << '\t' << reference << '\t' << ratio << '\t' << target << '\t'
              << (met ? "yes" : "no") << std::endl;
}

}  // namespace corvantis::bench
