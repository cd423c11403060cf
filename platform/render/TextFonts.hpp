#pragma once

#include "platform/ui/Font.hpp"

#include <pango/pango.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform::render {

struct FontDescriptionDeleter {
    void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
using FontDescription = std::unique_ptr<PangoFontDescription, FontDescriptionDeleter>;

// The fonts text is laid out with. The resources' font files are registered with fontconfig as
// application fonts before Pango is first used, and a `ui::Font` (a PostScript name, a size, a
// weight) becomes the Pango description of that face. One Pango context with fixed options serves
// measuring and drawing, so both place every glyph alike at any scale. Main thread only.
class TextFonts {
public:
    static TextFonts& shared();

    // The Pango description of `font`'s face at its size in points (one point per user unit).
    // The system face, and a face fontconfig does not know, become the sans-serif family.
    FontDescription description(const ui::Font& font);

    // The context layouts are made in: metrics unhinted, glyph positions not rounded.
    PangoContext* context() const { return context_; }

private:
    TextFonts();
    // Registers a font file with fontconfig; false when fontconfig refuses it.
    bool registerFontFile(const std::filesystem::path& file);
    struct Face {
        std::string family;
        int weight;  // Pango weight
        PangoStyle style;
    };
    const Face& face(const std::string& postScriptName);

    PangoFontMap* fontMap_;
    PangoContext* context_;
    std::map<std::string, Face> faces_;  // by PostScript name
};

}  // namespace platform::render
