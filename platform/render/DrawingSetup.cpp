#include "platform/render/DrawingSetup.hpp"

#include "platform/render/PangoTextMeasurer.hpp"
#include "platform/render/ResourceImages.hpp"
#include "platform/render/TextFonts.hpp"

namespace platform::render {

void DrawingSetup::install(double scale) {
    TextFonts::shared();  // the fonts reach fontconfig before anything lays text out
    ui::TextMeasurer::setProcessDefault(PangoTextMeasurer::shared());
    ResourceImages::install(scale);
}

}  // namespace platform::render
