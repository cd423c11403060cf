#pragma once

#include "platform/foundation/Url.hpp"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace corvantis::zip::testing {

// An entry written straight through minizip, for names and attributes our packer never makes.
struct FixtureEntry {
    std::string name;
    std::string data;
    unsigned long externalAttributes = 0;
    bool stored = false;  // stored instead of deflated, so a flipped byte is a CRC mismatch
    // The size the entry's headers give, when it is not the data's own (zip64 fields past 4 GiB).
    std::optional<std::uint64_t> declaredSize = std::nullopt;
    std::string extraField{};  // the same in both headers
};
void writeFixture(const std::filesystem::path& archive, const std::vector<FixtureEntry>& entries);

// What an archive holds, as minizip reads it back.
struct StoredEntry {
    std::string name;
    std::string data;  // inflated bytes; empty for encrypted entries
    std::uint32_t crc = 0;
    bool intact = false;  // the bytes were read and their CRC matched (never for encrypted entries)
    unsigned long flags = 0;
    unsigned long method = 0;
    unsigned long versionNeeded = 0;
    unsigned long extraFieldSize = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
std::vector<StoredEntry> readArchive(const std::filesystem::path& archive);

std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& data);
platform::foundation::Url urlOf(const std::filesystem::path& path);
// Bytes that deflate cannot shrink, the same for the same seed.
std::string randomBytes(std::size_t size, unsigned seed);

}  // namespace corvantis::zip::testing
