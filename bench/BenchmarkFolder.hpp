#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvantis::bench {

// A fresh folder of this benchmark run under the system's temporary folder, made on first use
// and removed with everything in it when the program ends.
inline std::filesystem::path benchmarkFolder() {
    struct Folder {
        Folder() {
            std::string pattern = (std::filesystem::temp_directory_path() / "corvantis-bench-XXXXXX").string();
            if (::mkdtemp(pattern.data()) == nullptr) std::abort();
            path = pattern;
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
        std::filesystem::path path;
    };
    static const Folder folder;
    return folder.path;
}

}  // namespace corvantis::bench
