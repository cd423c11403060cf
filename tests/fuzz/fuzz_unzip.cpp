// Any archive a user could be handed: unpacking it must fail cleanly or write only inside the
// destination folder.

#include "Zip/Zip.hpp"
#include "Zip/ZipError.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

std::filesystem::path workFolder() {
    static const std::filesystem::path folder = [] {
        auto made = std::filesystem::temp_directory_path() / ("corvantis-fuzz-unzip-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made / "inside" / "destination");
        return made;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using corvantis::zip::Zip;
    const auto folder = workFolder();
    const auto archive = folder / "inside" / "input.zip";
    const auto destination = folder / "inside" / "destination";
    std::ofstream(archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    try {
        Zip::unzipFile(platform::foundation::Url::fileUrl(archive.string()),
                       platform::foundation::Url::fileUrl(destination.string(), true), true, std::string("pw"));
    } catch (const corvantis::zip::ZipError&) {
    }
    // Only the archive and the destination may be there, one level up and two.
    for (const auto& entry : std::filesystem::directory_iterator(folder)) FUZZ_CHECK(entry.path().filename() == "inside");
    for (const auto& entry : std::filesystem::directory_iterator(folder / "inside")) {
        FUZZ_CHECK(entry.path() == archive || entry.path() == destination);
    }
    std::filesystem::remove_all(destination);
    std::filesystem::create_directories(destination);
    return 0;
}
