#include "RenderTestCase.hpp"

#include "platform/render/ResourceImages.hpp"
#include "platform/ui/ImageView.hpp"

namespace corvantis::testing {
namespace {

using namespace platform::ui;
using platform::render::OffscreenRenderer;
using platform::render::ResourceImages;

class ResourceImagesTest : public RenderTestCase {};

TEST_F(ResourceImagesTest, NamedImagesComeFromTheFilesAtTheDeviceScale) {
    ResourceImages::install(2);
    const auto search = Image::named("SearchIcon");
    ASSERT_TRUE(search);
    EXPECT_EQ(search->size(), (Size{18, 18}));
    EXPECT_EQ(search->pixelsWide(), 36);
    EXPECT_EQ(Image::named("SearchIcon"), search) << "drawn once, then registered";
    // The lens's ring crosses the middle of its left side; the middle of the lens is empty.
    EXPECT_GT(search->pixel(4, 21).alpha, 200);
    EXPECT_EQ(search->pixel(15, 21).alpha, 0);

    // Flags are named by their upper-case code; a view box alone fits the longer side into 32 points.
    const auto germany = Image::named("DE");
    ASSERT_TRUE(germany);
    EXPECT_EQ(germany->size(), (Size{32, 24}));
    EXPECT_EQ(germany->pixel(32, 45), (Image::Pixel{0, 0, 1, 255}));  // the black band on top
    EXPECT_EQ(germany->pixel(32, 2).red, 255);                        // the gold one at the bottom

    EXPECT_FALSE(Image::named("NoSuchImage"));
    EXPECT_FALSE(Image::named("../fonts/OFL"));
}

TEST_F(ResourceImagesTest, AnImageIsDrawnUprightInItsViewWhateverItsPixelScale) {
    ResourceImages::install(2);
    auto window = whiteWindow(48, 36);
    auto view = std::make_shared<ImageView>(Rect{0, 0, 48, 36});
    view->setImage(Image::named("DE"));
    window->contentView()->addSubview(view);

    const auto picture = OffscreenRenderer(1).draw(*window);
    EXPECT_EQ(picture.pixelAt({24, 33}), (Image::Pixel{0, 0, 1, 255}));
    EXPECT_EQ(picture.pixelAt({24, 3}).green, 204);
}

}  // namespace
}  // namespace corvantis::testing
