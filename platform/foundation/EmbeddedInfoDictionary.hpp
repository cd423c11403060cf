#pragma once

#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace platform::foundation {

// A program that carries its information dictionary inside itself keeps it in this section of
// its ELF file: the text of a JSON object, ended by a NUL. It is put there with
//   extern "C" [[gnu::used, gnu::section("__info_plist")]] const char name[] = R"({...})";
inline constexpr const char* embeddedInfoSectionName = "__info_plist";

// The information dictionary ("CFBundleVersion", …) embedded in the executable at `path`; none
// when the file cannot be read, is not a 64-bit ELF file, has no such section, or holds no JSON
// object there. The file is only read, never run.
std::optional<nlohmann::json> embeddedInfoDictionary(const std::filesystem::path& path);

}  // namespace platform::foundation
