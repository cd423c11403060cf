// Any archive a user could be handed: unpacking it must fail cleanly or write only inside the
// destination folder, and an unpacking that succeeds leaves every entry it reported in place,
// read-only folders and the entries inside them included.

#include "Zip/Zip.hpp"
#include "Zip/ZipError.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path workFolder() {
    static const fs::path folder = [] {
        auto made = fs::temp_directory_path() / ("corvantis-fuzz-unzip-" + std::to_string(::getpid()));
        fs::create_directories(made / "inside" / "destination");
        return made;
    }();
    return folder;
}

// Lets the owner into every folder again, outermost first, so that the next input finds the
// destination empty even after an archive made folders read-only.
void openFolders(const fs::path& folder) {
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (const auto& entry : fs::directory_iterator(folder, ignored)) {
        if (entry.is_directory(ignored) && !entry.is_symlink(ignored)) openFolders(entry.path());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using corvantis::zip::Zip;
    const auto folder = workFolder();
    const auto archive = folder / "inside" / "input.zip";
    const auto destination = folder / "inside" / "destination";
    std::ofstream(archive, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::vector<std::string> reported;
    bool unpacked = false;
    try {
        Zip::unzipFile(platform::foundation::Url::fileUrl(archive.string()),
                       platform::foundation::Url::fileUrl(destination.string(), true), true, std::string("pw"), {},
                       [&](const platform::foundation::Url& written) { reported.push_back(written.path()); });
        unpacked = true;
    } catch (const corvantis::zip::ZipError&) {
    }
    openFolders(destination);
    if (unpacked) {
        for (const auto& path : reported) {
            struct stat info {};
            FUZZ_CHECK(::lstat(path.c_str(), &info) == 0);
        }
    }
    // Only the archive and the destination may be there, one level up and two.
    for (const auto& entry : fs::directory_iterator(folder)) FUZZ_CHECK(entry.path().filename() == "inside");
    for (const auto& entry : fs::directory_iterator(folder / "inside")) {
        FUZZ_CHECK(entry.path() == archive || entry.path() == destination);
    }
    fs::remove_all(destination);
    fs::create_directories(destination);
    return 0;
}
