#include "platform/render/TextFonts.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/ResourceDirectory.hpp"
#include "platform/ui/FontRegistry.hpp"

#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <pango/pangocairo.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>

namespace platform::render {

namespace {

constexpr const char* fallbackFamily = "sans-serif";

// The platform's weights run from -1 (ultra light) to 1 (black), regular at 0.
int pangoWeight(double weight) {
    if (weight <= -0.7) return PANGO_WEIGHT_ULTRALIGHT;
    if (weight <= -0.5) return PANGO_WEIGHT_THIN;
    if (weight <= -0.3) return PANGO_WEIGHT_LIGHT;
    if (weight < 0.2) return PANGO_WEIGHT_NORMAL;
    if (weight < 0.3) return PANGO_WEIGHT_MEDIUM;
    if (weight < 0.4) return PANGO_WEIGHT_SEMIBOLD;
    if (weight < 0.6) return PANGO_WEIGHT_BOLD;
    return PANGO_WEIGHT_HEAVY;
}

}  // namespace

TextFonts& TextFonts::shared() {
    static TextFonts fonts;
    return fonts;
}

TextFonts::TextFonts() {
    // Fonts must be known to fontconfig before Pango builds its font map.
    FcInit();
    std::error_code error;
    const auto folder = foundation::resourceDirectory() / "fonts";
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto extension = entry.path().extension();
        if (extension == ".ttf" || extension == ".otf") registerFontFile(entry.path());
    }
    fontMap_ = pango_cairo_font_map_get_default();
    context_ = pango_font_map_create_context(fontMap_);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(context_, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context_, FALSE);
}

bool TextFonts::registerFontFile(const std::filesystem::path& file) {
    const auto path = file.string();
    if (!FcConfigAppFontAddFile(FcConfigGetCurrent(), reinterpret_cast<const FcChar8*>(path.c_str()))) {
        foundation::consoleLog("Font file " + path + " could not be registered for drawing");
        return false;
    }
    faces_.clear();
    // A font map already in use must learn of the new face.
    if (PANGO_IS_FC_FONT_MAP(pango_cairo_font_map_get_default())) {
        pango_fc_font_map_config_changed(PANGO_FC_FONT_MAP(pango_cairo_font_map_get_default()));
    }
    return true;
}

const TextFonts::Face& TextFonts::face(const std::string& postScriptName) {
    const auto known = faces_.find(postScriptName);
    if (known != faces_.end()) return known->second;
    Face face{fallbackFamily, PANGO_WEIGHT_NORMAL, PANGO_STYLE_NORMAL};
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_POSTSCRIPT_NAME, reinterpret_cast<const FcChar8*>(postScriptName.c_str()));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_WEIGHT, FC_SLANT, nullptr);
    FcFontSet* found = FcFontList(FcConfigGetCurrent(), pattern, objects);
    if (found && found->nfont > 0) {
        FcChar8* family = nullptr;
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        if (FcPatternGetString(found->fonts[0], FC_FAMILY, 0, &family) == FcResultMatch) {
            face.family = reinterpret_cast<const char*>(family);
        }
        FcPatternGetInteger(found->fonts[0], FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(found->fonts[0], FC_SLANT, 0, &slant);
        face.weight = FcWeightToOpenType(weight);
        face.style = slant == FC_SLANT_ROMAN ? PANGO_STYLE_NORMAL : PANGO_STYLE_ITALIC;
    }
    if (found) FcFontSetDestroy(found);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return faces_.emplace(postScriptName, face).first->second;
}

FontDescription TextFonts::description(const ui::Font& font) {
    FontDescription description(pango_font_description_new());
    if (font.fontName() == ui::FontRegistry::systemFaceName) {
        pango_font_description_set_family(description.get(), fallbackFamily);
        pango_font_description_set_weight(description.get(), static_cast<PangoWeight>(pangoWeight(font.weight())));
    } else {
        const Face& known = face(font.fontName());
        pango_font_description_set_family(description.get(), known.family.c_str());
        pango_font_description_set_weight(description.get(), static_cast<PangoWeight>(known.weight));
        pango_font_description_set_style(description.get(), known.style);
    }
    pango_font_description_set_absolute_size(description.get(), font.pointSize() * PANGO_SCALE);
    return description;
}

}  // namespace platform::render
