// Whatever a settings file holds when the application starts: it loads or is put aside, and
// reading it afterwards never fails hard.

#include "platform/foundation/UserDefaults.hpp"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto folder = [] {
        auto made = std::filesystem::temp_directory_path() / ("corvantis-fuzz-settings-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        std::filesystem::permissions(made, std::filesystem::perms::owner_all);
        return made;
    }();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto file = folder / "settings.json";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::filesystem::permissions(file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const auto defaults = platform::foundation::UserDefaults::open(file);
    for (const char* key : {"username", "hostname", "openVpnPort", "protocol", "isKillSwitchEnabled"}) {
        (void)defaults->string(key);
        (void)defaults->boolValue(key);
        (void)defaults->doubleValue(key);
        (void)defaults->integer(key);
    }
    (void)defaults->dictionaryRepresentation().dump();
    return 0;
}
