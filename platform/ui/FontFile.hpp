#pragma once

#include "platform/foundation/Expected.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

// What text layout needs of a TrueType or OpenType font file: its PostScript name, its vertical
// metrics and the advance width of every character. The file is checked as it is read; a file
// that is cut short or points outside itself is refused with an error, never read past its end.
class FontFile {
public:
    static foundation::Expected<std::shared_ptr<const FontFile>> load(const std::filesystem::path& file);
    // `source` names the data in error messages.
    static foundation::Expected<std::shared_ptr<const FontFile>> parse(const std::string& bytes, const std::string& source);

    const std::string& postScriptName() const { return postScriptName_; }
    int unitsPerEm() const { return unitsPerEm_; }
    // Above the baseline, positive.
    int ascender() const { return ascender_; }
    // Below the baseline, negative.
    int descender() const { return descender_; }
    int lineGap() const { return lineGap_; }
    // The height of the lower-case letters, positive; half an em when the file does not say.
    int xHeight() const { return xHeight_; }
    // Horizontal advance of `character` in font units; the missing-glyph box's for unmapped characters.
    int advance(char32_t character) const;

    struct CharacterRange {
        char32_t first;
        char32_t last;
        std::uint32_t firstGlyph;  // glyphs follow the characters one by one
    };

private:
    FontFile() = default;
    std::uint32_t glyph(char32_t character) const;

    std::string postScriptName_;
    int unitsPerEm_ = 1000;
    int ascender_ = 0;
    int descender_ = 0;
    int lineGap_ = 0;
    int xHeight_ = 500;
    std::vector<std::uint16_t> advances_;
    std::vector<CharacterRange> characters_;  // sorted, not overlapping
};

}  // namespace platform::ui
