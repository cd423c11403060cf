#include "RenderTestCase.hpp"

#include "platform/ui/FontMetricsMeasurer.hpp"
#include "platform/ui/TextField.hpp"

#include <algorithm>
#include <cmath>

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::render::OffscreenRenderer;
using platform::render::PangoTextMeasurer;

class TextDrawingTest : public RenderTestCase {};

// The rightmost column with ink, in points from the left edge.
double inkRight(const platform::render::Picture& picture) {
    int right = -1;
    for (int row = 0; row < picture.pixelsHigh(); ++row) {
        for (int x = 0; x < picture.pixelsWide(); ++x) {
            if (!RenderTestCase::isWhite(picture.pixel(x, row))) right = std::max(right, x);
        }
    }
    return (right + 1) / picture.scale();
}

TEST_F(TextDrawingTest, MeasuredWidthsHoldTheDrawnTextAtEveryScale) {
    const auto font = Font::named("Montserrat-Medium", 14);
    ASSERT_TRUE(font);
    const TextAttributes attributes{font, Color::sRGB(0, 0, 0, 1), std::nullopt, std::nullopt};
    for (const char* text : {"Frankfurt", "Los Angeles", "Amsterdam 2", "WWW"}) {
        const Size measured = TextMeasurer::sizeOf(text, attributes);
        // The platform's file-metrics measurer and Pango agree on the shipped face.
        EXPECT_NEAR(FontMetricsMeasurer::shared()->size(text, attributes).width, measured.width, measured.width * 0.03) << text;

        auto window = whiteWindow(std::ceil(measured.width) + 40, 40);
        auto label = std::make_shared<TextField>(Rect{0, 10, measured.width, 20});
        label->setFont(*font);
        label->setTextColor(Color::sRGB(0, 0, 0, 1));
        label->setStringValue(text);
        window->contentView()->addSubview(label);
        for (double scale : {1.0, 2.0}) {
            label->setFrameSize({measured.width, 20});
            const auto exact = OffscreenRenderer(scale).draw(*window);
            label->setFrameSize({measured.width + 40, 20});
            const auto roomy = OffscreenRenderer(scale).draw(*window);
            // A label exactly as wide as measured shows all of it, as a wider one does (but for the
            // edge's partly covered pixels): nothing is cut or wrapped; and the ink reaches the
            // measured width, which is not too generous.
            int different = 0;
            const int whole = static_cast<int>(std::floor(measured.width * scale));
            for (int row = 0; row < exact.pixelsHigh(); ++row) {
                for (int x = 0; x < whole; ++x) different += exact.pixel(x, row) == roomy.pixel(x, row) ? 0 : 1;
            }
            EXPECT_EQ(different, 0) << text << " at " << scale;
            EXPECT_GT(inkRight(exact), measured.width - 3) << text << " at " << scale;
        }
    }
}

TEST_F(TextDrawingTest, LongTextWrapsInsideItsFrameAndTruncatesWhenAsked) {
    const std::string text = "Your current location will be disconnected";
    auto window = whiteWindow(120, 100);
    auto wrapped = std::make_shared<TextField>(Rect{0, 50, 120, 50});
    wrapped->setEditable(false);  // a label wraps; a field a person edits keeps to one line
    wrapped->setStringValue(text);
    auto truncated = std::make_shared<TextField>(Rect{0, 0, 120, 50});
    AttributedString cut(text, {Font::system(12), Color::sRGB(0, 0, 0, 1),
                                ParagraphStyle{TextAlignment::left, LineBreakMode::byTruncatingTail}, std::nullopt});
    truncated->setPlaceholderAttributedString(cut);  // shown while the field is empty
    window->contentView()->addSubview(wrapped);
    window->contentView()->addSubview(truncated);

    const auto picture = OffscreenRenderer().draw(*window);
    auto rowsWithInk = [&](double bottom, double top) {
        int rows = 0;
        for (double y = bottom + 0.5; y < top; y += 1) {
            for (double x = 0.5; x < 120; x += 1) {
                if (!isWhite(picture.pixelAt({x, y}))) {
                    ++rows;
                    break;
                }
            }
        }
        return rows;
    };
    EXPECT_GT(rowsWithInk(50, 100), 20) << "two lines or more";
    EXPECT_LT(rowsWithInk(0, 50), 16) << "one line";
}

}  // namespace
}  // namespace corvantis::testing
