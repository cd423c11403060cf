#include "platform/foundation/EmbeddedInfoDictionary.hpp"

#include "platform/foundation/FileDescriptor.hpp"

#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace platform::foundation {

namespace {

// Sections larger than this are not an information dictionary.
constexpr std::uint64_t largestSection = 1 << 20;

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    while (size > 0) {
        const ssize_t got = ::pread(fd, bytes, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        bytes += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
    return true;
}

std::optional<std::string> readSection(int fd, const Elf64_Shdr& section, std::uint64_t fileSize) {
    if (section.sh_type == SHT_NOBITS || section.sh_size > largestSection || section.sh_offset > fileSize ||
        section.sh_size > fileSize - section.sh_offset) {
        return std::nullopt;
    }
    std::string content(section.sh_size, '\0');
    if (!readAt(fd, content.data(), content.size(), section.sh_offset)) return std::nullopt;
    return content;
}

}  // namespace

std::optional<nlohmann::json> embeddedInfoDictionary(const std::filesystem::path& path) {
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!file.isOpen() || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);

    Elf64_Ehdr header{};
    if (!readAt(file.get(), &header, sizeof header, 0) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_shentsize != sizeof(Elf64_Shdr) ||
        header.e_shstrndx >= header.e_shnum) {
        return std::nullopt;
    }
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!readAt(file.get(), sections.data(), sections.size() * sizeof(Elf64_Shdr), header.e_shoff)) return std::nullopt;
    const auto names = readSection(file.get(), sections[header.e_shstrndx], fileSize);
    if (!names) return std::nullopt;

    for (const auto& section : sections) {
        if (section.sh_name >= names->size()) continue;
        if (std::strcmp(names->c_str() + section.sh_name, embeddedInfoSectionName) != 0) continue;
        auto content = readSection(file.get(), section, fileSize);
        if (!content) return std::nullopt;
        content->resize(std::strlen(content->c_str()));
        auto dictionary = nlohmann::json::parse(*content, nullptr, false);
        if (!dictionary.is_object()) return std::nullopt;
        return dictionary;
    }
    return std::nullopt;
}

}  // namespace platform::foundation
