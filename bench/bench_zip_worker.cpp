// One packing or unpacking by our Zip, for bench_zip to time in a process of its own:
//   bench_zip_worker zip <level 1|6|9> <archive>     packs ./corpus
//   bench_zip_worker unzip <archive> <folder>
#include "Zip/Zip.hpp"
#include "platform/assembly/helper/HelperServices.hpp"

#include <filesystem>
#include <iostream>
#include <string>

using corvantis::zip::Zip;
using corvantis::zip::ZipCompression;
using platform::foundation::Url;

int main(int argc, char** argv) {
    // The helper's set is all archiving needs; no URL session or screen code in the measured process.
    platform::installHelperServices();
    const std::string operation = argc > 1 ? argv[1] : "";
    const auto here = std::filesystem::current_path();
    try {
        if (operation == "zip" && argc == 4) {
            const int level = std::stoi(argv[2]);
            const auto compression = level == 1   ? ZipCompression::BestSpeed
                                     : level == 9 ? ZipCompression::BestCompression
                                                  : ZipCompression::DefaultCompression;
            Zip::zipFiles({Url::fileUrl((here / "corpus").string())}, Url::fileUrl((here / argv[3]).string()), std::nullopt,
                          compression);
            return 0;
        }
        if (operation == "unzip" && argc == 4) {
            Zip::unzipFile(Url::fileUrl((here / argv[2]).string()), Url::fileUrl((here / argv[3]).string()), true, std::nullopt);
            return 0;
        }
    } catch (const corvantis::zip::ZipError& error) {
        std::cerr << "bench_zip_worker: " << error.description() << "\n";
        return 1;
    }
    std::cerr << "usage: bench_zip_worker zip <1|6|9> <archive> | unzip <archive> <folder>\n";
    return 2;
}
