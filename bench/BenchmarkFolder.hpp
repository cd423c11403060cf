#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvantis::bench {

// A fresh folder of this benchmark run under the system's temporary folder, made on first use.
inline std::filesystem::path benchmarkFolder() {
    static const std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "corvantis-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        return std::filesystem::path(pattern);
    }();
    return folder;
}

}  // namespace corvantis::bench
