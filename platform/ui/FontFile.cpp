#include "platform/ui/FontFile.hpp"

#include "platform/foundation/FileSystem.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <string_view>

namespace platform::ui {

using foundation::Error;
using foundation::Expected;

namespace {

// Big-endian reads that refuse to leave the data.
class Reader {
public:
    explicit Reader(std::string_view data) : data_(data) {}

    std::uint8_t u8(std::size_t at) const { return static_cast<std::uint8_t>(bytes(at, 1)[0]); }
    std::uint16_t u16(std::size_t at) const {
        const std::string_view b = bytes(at, 2);
        return static_cast<std::uint16_t>((static_cast<std::uint8_t>(b[0]) << 8) | static_cast<std::uint8_t>(b[1]));
    }
    std::int16_t i16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }
    std::uint32_t u32(std::size_t at) const { return (std::uint32_t{u16(at)} << 16) | u16(at + 2); }
    std::string_view bytes(std::size_t at, std::size_t count) const {
        if (at > data_.size() || count > data_.size() - at) throw std::out_of_range("outside the file");
        return data_.substr(at, count);
    }

private:
    std::string_view data_;
};

struct Table {
    std::size_t offset;
    std::size_t length;
};

std::map<std::string, Table> tableDirectory(const Reader& reader) {
    const std::uint32_t version = reader.u32(0);
    if (version != 0x00010000 && version != 0x4F54544F /* OTTO */ && version != 0x74727565 /* true */) {
        throw std::runtime_error("not a TrueType or OpenType font");
    }
    std::map<std::string, Table> tables;
    const std::uint16_t count = reader.u16(4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = 12 + 16 * i;
        const Table table{reader.u32(record + 8), reader.u32(record + 12)};
        reader.bytes(table.offset, table.length);  // the whole table must lie inside the file
        tables.emplace(std::string(reader.bytes(record, 4)), table);
    }
    return tables;
}

const Table& required(const std::map<std::string, Table>& tables, const std::string& tag) {
    const auto found = tables.find(tag);
    if (found == tables.end()) throw std::runtime_error("no '" + tag + "' table");
    return found->second;
}

std::string decodeName(std::string_view raw, bool utf16) {
    std::string name;
    if (!utf16) return std::string(raw);
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) {
        const unsigned unit = (static_cast<std::uint8_t>(raw[i]) << 8) | static_cast<std::uint8_t>(raw[i + 1]);
        // PostScript names are printable ASCII by definition; anything else is dropped.
        if (unit >= 33 && unit <= 126) name.push_back(static_cast<char>(unit));
    }
    return name;
}

std::string readPostScriptName(const Reader& reader, const Table& table) {
    const std::size_t storage = table.offset + reader.u16(table.offset + 4);
    const std::uint16_t count = reader.u16(table.offset + 2);
    std::string fallback;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = table.offset + 6 + 12 * i;
        const std::uint16_t platform = reader.u16(record);
        const std::uint16_t nameId = reader.u16(record + 6);
        if (nameId != 6) continue;
        const std::string_view raw = reader.bytes(storage + reader.u16(record + 10), reader.u16(record + 8));
        if (platform == 3 || platform == 0) return decodeName(raw, true);
        if (platform == 1 && fallback.empty()) fallback = decodeName(raw, false);
    }
    if (fallback.empty()) throw std::runtime_error("no PostScript name");
    return fallback;
}

void appendRange(std::vector<FontFile::CharacterRange>& ranges, char32_t character, std::uint32_t glyph) {
    if (!ranges.empty()) {
        auto& last = ranges.back();
        if (last.last + 1 == character && last.firstGlyph + (character - last.first) == glyph) {
            last.last = character;
            return;
        }
    }
    ranges.push_back({character, character, glyph});
}

std::vector<FontFile::CharacterRange> format4(const Reader& reader, std::size_t at) {
    const std::size_t segments = reader.u16(at + 6) / 2;
    const std::size_t ends = at + 14;
    const std::size_t starts = ends + 2 * segments + 2;
    const std::size_t deltas = starts + 2 * segments;
    const std::size_t rangeOffsets = deltas + 2 * segments;
    std::vector<FontFile::CharacterRange> ranges;
    std::size_t mapped = 0;
    for (std::size_t s = 0; s < segments; ++s) {
        const std::uint16_t first = reader.u16(starts + 2 * s);
        const std::uint16_t last = reader.u16(ends + 2 * s);
        // Segments of a sound map do not overlap, so together they span the basic plane at most.
        if (last >= first) mapped += last - first + 1u;
        if (mapped > 0x10000) throw std::runtime_error("character map segments overlap");
        const std::uint16_t delta = reader.u16(deltas + 2 * s);
        const std::size_t rangeOffsetAt = rangeOffsets + 2 * s;
        const std::uint16_t rangeOffset = reader.u16(rangeOffsetAt);
        for (std::uint32_t character = first; character <= last && character != 0xFFFF; ++character) {
            std::uint16_t glyph;
            if (rangeOffset == 0) {
                glyph = static_cast<std::uint16_t>(character + delta);
            } else {
                glyph = reader.u16(rangeOffsetAt + rangeOffset + 2 * (character - first));
                if (glyph != 0) glyph = static_cast<std::uint16_t>(glyph + delta);
            }
            if (glyph != 0) appendRange(ranges, character, glyph);
        }
    }
    return ranges;
}

std::vector<FontFile::CharacterRange> format12(const Reader& reader, std::size_t at) {
    const std::uint32_t groups = reader.u32(at + 12);
    reader.bytes(at + 16, std::size_t{groups} * 12);
    std::vector<FontFile::CharacterRange> ranges;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::size_t group = at + 16 + 12 * g;
        const char32_t first = reader.u32(group);
        const char32_t last = std::min<char32_t>(reader.u32(group + 4), 0x10FFFF);
        if (first > last) continue;
        ranges.push_back({first, last, reader.u32(group + 8)});
    }
    return ranges;
}

std::vector<FontFile::CharacterRange> characterMap(const Reader& reader, const Table& table) {
    const std::uint16_t count = reader.u16(table.offset + 2);
    std::size_t best = 0;
    int bestRank = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = table.offset + 4 + 8 * i;
        const std::uint16_t platform = reader.u16(record);
        const std::uint16_t encoding = reader.u16(record + 2);
        const std::size_t subtable = table.offset + reader.u32(record + 4);
        const std::uint16_t format = reader.u16(subtable);
        const bool unicode = platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10));
        if (!unicode || (format != 4 && format != 12)) continue;
        const int rank = format == 12 ? 2 : 1;  // the full repertoire wins over the basic plane
        if (rank > bestRank) {
            bestRank = rank;
            best = subtable;
        }
    }
    if (bestRank == 0) throw std::runtime_error("no Unicode character map");
    auto ranges = bestRank == 2 ? format12(reader, best) : format4(reader, best);
    std::sort(ranges.begin(), ranges.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    // Overlapping ranges would make lookups ambiguous: the earlier one keeps the shared characters.
    std::vector<FontFile::CharacterRange> disjoint;
    for (auto range : ranges) {
        if (!disjoint.empty() && range.first <= disjoint.back().last) {
            if (range.last <= disjoint.back().last) continue;
            range.firstGlyph += disjoint.back().last + 1 - range.first;
            range.first = disjoint.back().last + 1;
        }
        disjoint.push_back(range);
    }
    return disjoint;
}

}  // namespace

Expected<std::shared_ptr<const FontFile>> FontFile::load(const std::filesystem::path& file) {
    auto bytes = foundation::FileSystem::readFile(file);
    if (!bytes) return bytes.error();
    return parse(bytes.value(), file.string());
}

Expected<std::shared_ptr<const FontFile>> FontFile::parse(const std::string& bytes, const std::string& source) {
    const Reader reader(bytes);
    std::shared_ptr<FontFile> font(new FontFile());
    try {
        const auto tables = tableDirectory(reader);
        const Table& head = required(tables, "head");
        const Table& hhea = required(tables, "hhea");
        const Table& hmtx = required(tables, "hmtx");
        font->postScriptName_ = readPostScriptName(reader, required(tables, "name"));
        font->unitsPerEm_ = reader.u16(head.offset + 18);
        if (font->unitsPerEm_ < 16) throw std::runtime_error("units per em out of range");
        font->ascender_ = reader.i16(hhea.offset + 4);
        font->descender_ = reader.i16(hhea.offset + 6);
        font->lineGap_ = reader.i16(hhea.offset + 8);
        font->xHeight_ = font->unitsPerEm_ / 2;
        // The OS/2 table holds the x-height from its version 2 on.
        if (const auto os2 = tables.find("OS/2"); os2 != tables.end() && os2->second.length >= 88 &&
                                                  reader.u16(os2->second.offset) >= 2 &&
                                                  reader.i16(os2->second.offset + 86) > 0) {
            font->xHeight_ = reader.i16(os2->second.offset + 86);
        }
        const std::uint16_t metrics = reader.u16(hhea.offset + 34);
        if (metrics == 0) throw std::runtime_error("no horizontal metrics");
        if (std::size_t{metrics} * 4 > hmtx.length) throw std::runtime_error("horizontal metrics outside their table");
        font->advances_.reserve(metrics);
        for (std::size_t i = 0; i < metrics; ++i) font->advances_.push_back(reader.u16(hmtx.offset + 4 * i));
        font->characters_ = characterMap(reader, required(tables, "cmap"));
    } catch (const std::exception& problem) {
        return Error{0, "Unusable font file " + source + ": " + problem.what()};
    }
    if (font->postScriptName_.empty()) return Error{0, "Unusable font file " + source + ": empty PostScript name"};
    return std::shared_ptr<const FontFile>(std::move(font));
}

std::uint32_t FontFile::glyph(char32_t character) const {
    const auto after = std::upper_bound(characters_.begin(), characters_.end(), character,
                                        [](char32_t value, const CharacterRange& range) { return value < range.first; });
    if (after == characters_.begin()) return 0;
    const CharacterRange& range = *(after - 1);
    return character <= range.last ? range.firstGlyph + (character - range.first) : 0;
}

int FontFile::advance(char32_t character) const {
    // Glyphs past the last metric share its advance, as the format says.
    const std::uint32_t id = glyph(character);
    return advances_[std::min<std::size_t>(id, advances_.size() - 1)];
}

}  // namespace platform::ui
