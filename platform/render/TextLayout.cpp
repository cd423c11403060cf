#include "platform/render/TextLayout.hpp"

#include "platform/render/TextFonts.hpp"
#include "platform/ui/Font.hpp"

#include <algorithm>
#include <cmath>

namespace platform::render {

namespace {

guint16 channel(double component) {
    return static_cast<guint16>(std::lround(std::clamp(component, 0.0, 1.0) * 65535.0));
}

void insert(PangoAttrList* list, PangoAttribute* attribute, const ui::TextRange& range) {
    attribute->start_index = static_cast<guint>(range.location);
    attribute->end_index = static_cast<guint>(range.end());
    pango_attr_list_insert(list, attribute);
}

PangoAlignment pangoAlignment(ui::TextAlignment alignment) {
    switch (alignment) {
        case ui::TextAlignment::right: return PANGO_ALIGN_RIGHT;
        case ui::TextAlignment::center: return PANGO_ALIGN_CENTER;
        default: return PANGO_ALIGN_LEFT;
    }
}

}  // namespace

TextLayout::TextLayout(const ui::AttributedString& text, std::optional<double> width, std::optional<double> height)
    : layout_(pango_layout_new(TextFonts::shared().context())) {
    pango_layout_set_text(layout_, text.string().c_str(), static_cast<int>(text.length()));
    PangoAttrList* list = pango_attr_list_new();
    for (const auto& run : text.runs()) {
        const ui::Font font = run.attributes.font.value_or(ui::Font::system(ui::Font::defaultSize));
        insert(list, pango_attr_font_desc_new(TextFonts::shared().description(font).get()), run.range);
        const ui::Color color =
            run.attributes.foregroundColor.value_or(ui::Color::sRGB(0, 0, 0, 1)).usingColorSpace(ui::ColorSpace::sRGB);
        insert(list,
               pango_attr_foreground_new(channel(color.redComponent()), channel(color.greenComponent()),
                                         channel(color.blueComponent())),
               run.range);
        insert(list, pango_attr_foreground_alpha_new(channel(color.alphaComponent())), run.range);
        if (run.attributes.underlineStyle.value_or(ui::TextAttributes::underlineNone) != ui::TextAttributes::underlineNone) {
            insert(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), run.range);
        }
    }
    pango_layout_set_attributes(layout_, list);
    pango_attr_list_unref(list);
    if (text.length() == 0) {
        // An empty layout still has the default font's line height: give it the system font's.
        FontDescription description = TextFonts::shared().description(ui::Font::system(ui::Font::defaultSize));
        pango_layout_set_font_description(layout_, description.get());
    }

    const auto style = text.length() > 0 ? text.attributes(0).paragraphStyle : std::nullopt;
    const ui::ParagraphStyle paragraph = style.value_or(ui::ParagraphStyle{});
    if (!width) return;
    const int pangoWidth = static_cast<int>(std::lround(*width * PANGO_SCALE));
    switch (paragraph.lineBreakMode) {
        case ui::LineBreakMode::byClipping:
            if (paragraph.alignment == ui::TextAlignment::center) alignmentOffset_ = (*width - size().width) / 2;
            if (paragraph.alignment == ui::TextAlignment::right) alignmentOffset_ = *width - size().width;
            return;
        case ui::LineBreakMode::byTruncatingHead:
        case ui::LineBreakMode::byTruncatingTail:
        case ui::LineBreakMode::byTruncatingMiddle:
            pango_layout_set_ellipsize(layout_,
                                       paragraph.lineBreakMode == ui::LineBreakMode::byTruncatingHead   ? PANGO_ELLIPSIZE_START
                                       : paragraph.lineBreakMode == ui::LineBreakMode::byTruncatingTail ? PANGO_ELLIPSIZE_END
                                                                                                        : PANGO_ELLIPSIZE_MIDDLE);
            pango_layout_set_height(layout_, -1);
            break;
        case ui::LineBreakMode::byCharWrapping:
        case ui::LineBreakMode::byWordWrapping:
            pango_layout_set_wrap(
                layout_, paragraph.lineBreakMode == ui::LineBreakMode::byCharWrapping ? PANGO_WRAP_CHAR : PANGO_WRAP_WORD_CHAR);
            if (height) {
                pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
                pango_layout_set_height(layout_, static_cast<int>(std::lround(*height * PANGO_SCALE)));
            }
            break;
    }
    pango_layout_set_width(layout_, pangoWidth);
    pango_layout_set_alignment(layout_, pangoAlignment(paragraph.alignment));
    pango_layout_set_justify(layout_, paragraph.alignment == ui::TextAlignment::justified);
}

TextLayout::~TextLayout() {
    g_object_unref(layout_);
}

ui::Size TextLayout::size() const {
    PangoRectangle logical;
    pango_layout_get_extents(layout_, nullptr, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE, static_cast<double>(logical.height) / PANGO_SCALE};
}

}  // namespace platform::render
