#include "ArchiveFixtures.hpp"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unzip.h>
#include <zip.h>
#include <zlib.h>

namespace corvantis::zip::testing {

namespace {
// `data` as a deflate stream without header, as an entry holds it.
std::string rawDeflated(const std::string& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("cannot start deflate");
    std::string deflated(deflateBound(&stream, data.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(deflated.data());
    stream.avail_out = static_cast<uInt>(deflated.size());
    const int result = deflate(&stream, Z_FINISH);
    deflated.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END) throw std::runtime_error("cannot deflate");
    return deflated;
}
}  // namespace

void writeFixture(const std::filesystem::path& archive, const std::vector<FixtureEntry>& entries) {
    zipFile handle = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
    if (handle == nullptr) throw std::runtime_error("cannot create " + archive.string());
    for (const auto& entry : entries) {
        zip_fileinfo info{};
        info.external_fa = entry.externalAttributes;
        // An entry with a size of its own choosing is written raw: its data as the archive holds it.
        const bool raw = entry.declaredSize.has_value();
        const std::string data = raw && !entry.stored ? rawDeflated(entry.data) : entry.data;
        const auto crc = crc32_z(0, reinterpret_cast<const Bytef*>(entry.data.data()), entry.data.size());
        if (zipOpenNewFileInZip2_64(handle, entry.name.c_str(), &info, entry.extraField.data(),
                                    static_cast<uInt>(entry.extraField.size()), entry.extraField.data(),
                                    static_cast<uInt>(entry.extraField.size()), nullptr, entry.stored ? 0 : Z_DEFLATED,
                                    Z_DEFAULT_COMPRESSION, raw, raw) != ZIP_OK ||
            zipWriteInFileInZip(handle, data.data(), static_cast<unsigned>(data.size())) != ZIP_OK ||
            (raw ? zipCloseFileInZipRaw64(handle, *entry.declaredSize, crc) : zipCloseFileInZip(handle)) != ZIP_OK) {
            throw std::runtime_error("cannot write the fixture entry " + entry.name);
        }
    }
    if (zipClose(handle, nullptr) != ZIP_OK) throw std::runtime_error("cannot close " + archive.string());
}

std::vector<StoredEntry> readArchive(const std::filesystem::path& archive) {
    unzFile handle = unzOpen64(archive.c_str());
    if (handle == nullptr) {
        // minizip will not open an archive without entries: nothing but the end record.
        if (readFile(archive) == std::string("PK\x05\x06", 4) + std::string(18, '\0')) return {};
        throw std::runtime_error("not an archive: " + archive.string());
    }
    std::vector<StoredEntry> entries;
    for (int result = unzGoToFirstFile(handle); result == UNZ_OK; result = unzGoToNextFile(handle)) {
        unz_file_info64 info{};
        char name[1024] = {};
        unzGetCurrentFileInfo64(handle, &info, name, sizeof name, nullptr, 0, nullptr, 0);
        StoredEntry entry;
        entry.name = name;
        entry.flags = info.flag;
        entry.method = info.compression_method;
        entry.versionNeeded = info.version_needed;
        entry.extraFieldSize = info.size_file_extra;
        entry.crc = static_cast<std::uint32_t>(info.crc);
        entry.compressedSize = info.compressed_size;
        entry.uncompressedSize = info.uncompressed_size;
        entry.year = info.tmu_date.tm_year;
        entry.month = info.tmu_date.tm_mon;
        entry.day = info.tmu_date.tm_mday;
        entry.hour = info.tmu_date.tm_hour;
        entry.minute = info.tmu_date.tm_min;
        entry.second = info.tmu_date.tm_sec;
        if (!(info.flag & 1) && unzOpenCurrentFile(handle) == UNZ_OK) {
            char buffer[65536];
            for (int count; (count = unzReadCurrentFile(handle, buffer, sizeof buffer)) > 0;)
                entry.data.append(buffer, static_cast<std::size_t>(count));
            entry.intact = unzCloseCurrentFile(handle) == UNZ_OK;
        }
        entries.push_back(std::move(entry));
    }
    unzClose(handle);
    return entries;
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path.string());
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void writeFile(const std::filesystem::path& path, const std::string& data) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << data;
    if (!file) throw std::runtime_error("cannot write " + path.string());
}

platform::foundation::Url urlOf(const std::filesystem::path& path) {
    return platform::foundation::Url::fileUrl(path.string());
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(generator());
    return bytes;
}

}  // namespace corvantis::zip::testing
