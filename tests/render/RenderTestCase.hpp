#pragma once

#include "UiTestCase.hpp"

#include "platform/render/OffscreenRenderer.hpp"
#include "platform/render/PangoTextMeasurer.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace corvantis::testing {

// Drawing cases: virtual time, a clean layer, Pango measuring as the painter draws, and a plain
// white window of the given size to put views in.
class RenderTestCase : public ::testing::Test {
protected:
    RenderTestCase() : time(withPango()) { resetLayers(); }
    ~RenderTestCase() override { resetLayers(); }

    static void resetLayers() {
        platform::ui::testing::reset();
        platform::animation::testing::reset();
    }

    std::shared_ptr<platform::ui::Window> whiteWindow(double width, double height) {
        auto window = std::make_shared<platform::ui::Window>(platform::ui::Rect{0, 0, width, height});
        window->setBackgroundColor(platform::ui::Color::white());
        window->setContentView(std::make_shared<platform::ui::View>());
        return window;
    }

public:
    static bool isWhite(const platform::ui::Image::Pixel& p) {
        return p.red == 255 && p.green == 255 && p.blue == 255 && p.alpha == 255;
    }

    // The points of `picture` (in window points, pixel centres) for which `test` holds, counted
    // inside and outside `rect`.
    struct Count {
        int inside = 0;
        int outside = 0;
    };
    static Count count(const platform::render::Picture& picture, const platform::ui::Rect& rect,
                       const std::function<bool(const platform::ui::Image::Pixel&)>& test) {
        Count found;
        const double step = 1 / picture.scale();
        for (int row = 0; row < picture.pixelsHigh(); ++row) {
            for (int x = 0; x < picture.pixelsWide(); ++x) {
                if (!test(picture.pixel(x, row))) continue;
                const platform::ui::Point point{(x + 0.5) * step, (picture.pixelsHigh() - row - 0.5) * step};
                (rect.contains(point) ? found.inside : found.outside)++;
            }
        }
        return found;
    }

protected:
    VirtualTime time;

private:
    static platform::Services withPango() {
        platform::Services services;
        services.textMeasurerOverride = platform::render::PangoTextMeasurer::shared();
        return services;
    }
};

}  // namespace corvantis::testing
