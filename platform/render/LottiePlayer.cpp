#include "platform/render/LottiePlayer.hpp"

#include "platform/render/CairoGraphicsContext.hpp"

#include <rlottie.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace platform::render {

namespace {

// Where a scene of `scene` size lands in `bounds` for `mode`.
ui::Rect fitted(animation::ContentMode mode, ui::Size scene, const ui::Rect& bounds) {
    if (mode == animation::ContentMode::scaleToFill || scene.width <= 0 || scene.height <= 0) return bounds;
    double factor = 1;
    const double across = bounds.width() / scene.width;
    const double down = bounds.height() / scene.height;
    if (mode == animation::ContentMode::scaleAspectFit || mode == animation::ContentMode::redraw) factor = std::min(across, down);
    if (mode == animation::ContentMode::scaleAspectFill) factor = std::max(across, down);
    const ui::Size size{scene.width * factor, scene.height * factor};
    return {bounds.midX() - size.width / 2, bounds.midY() - size.height / 2, size.width, size.height};
}

}  // namespace

LottiePlayer& LottiePlayer::shared() {
    static LottiePlayer player;
    return player;
}

LottiePlayer::~LottiePlayer() = default;

rlottie::Animation* LottiePlayer::animation(const std::shared_ptr<const animation::Composition>& scene) {
    Player& player = animations_[scene.get()];
    // An address can come back for another scene once the first is gone.
    if (player.scene.lock() != scene) {
        player.scene = scene;
        player.animation = rlottie::Animation::loadFromData(scene->text(), scene->name(), "", false);  // uncached
        player.ink.reset();
        player.frame.reset();
    }
    return player.animation.get();
}

double LottiePlayer::frameRate(const animation::AnimationView& view) {
    const auto scene = view.sceneModel();
    rlottie::Animation* player = scene ? animation(scene) : nullptr;
    return player != nullptr ? player->frameRate() : 0;
}

std::optional<std::size_t> LottiePlayer::frameAt(const animation::AnimationView& view, dispatch::TimePoint at) {
    const auto scene = view.sceneModel();
    if (!scene) return std::nullopt;
    rlottie::Animation* player = animation(scene);
    if (!player || player->totalFrame() == 0) return std::nullopt;
    const std::size_t total = player->totalFrame();
    const auto started = view.playStartedAt();
    if (!started) return 0;
    if (!view.isAnimationPlaying()) return total - 1;
    const double elapsed = std::max(0.0, std::chrono::duration<double>(at - *started).count());
    const auto frame = static_cast<std::size_t>(elapsed * player->frameRate());
    return view.loopAnimation() ? frame % total : std::min(frame, total - 1);
}

ui::Rect LottiePlayer::inkedRect(const animation::AnimationView& view) {
    const ui::Rect target = sceneRect(view);
    const auto scene = view.sceneModel();
    rlottie::Animation* player = scene ? animation(scene) : nullptr;
    if (!player || player->totalFrame() == 0) return target;
    Player& kept = animations_[scene.get()];
    if (!kept.ink) kept.ink = inkOf(*player);
    // A pixel more on each side of the small picture, for what its pixels rounded away.
    const double marginX = target.width() / inkSample;
    const double marginY = target.height() / inkSample;
    const ui::Rect& ink = *kept.ink;
    const double minX = std::max(target.minX(), target.minX() + ink.minX() * target.width() - marginX);
    const double minY = std::max(target.minY(), target.minY() + ink.minY() * target.height() - marginY);
    const double maxX = std::min(target.maxX(), target.minX() + ink.maxX() * target.width() + marginX);
    const double maxY = std::min(target.maxY(), target.minY() + ink.maxY() * target.height() + marginY);
    return {minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY)};
}

ui::Rect LottiePlayer::inkOf(rlottie::Animation& player) {
    // Every frame drawn once, small, and the pixels any of them touches gathered: the part of
    // the canvas the scene ever draws on, as fractions of it.
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(inkSample * inkSample));
    rlottie::Surface surface(pixels.data(), inkSample, inkSample, inkSample * sizeof(std::uint32_t));
    std::size_t left = inkSample;
    std::size_t top = inkSample;
    std::size_t right = 0;
    std::size_t bottom = 0;
    for (std::size_t frame = 0; frame < player.totalFrame(); ++frame) {
        player.renderSync(frame, surface);
        for (std::size_t y = 0; y < inkSample; ++y) {
            for (std::size_t x = 0; x < inkSample; ++x) {
                if ((pixels[y * inkSample + x] >> 24) == 0) continue;
                left = std::min(left, x);
                top = std::min(top, y);
                right = std::max(right, x + 1);
                bottom = std::max(bottom, y + 1);
            }
        }
    }
    if (right <= left || bottom <= top) return {};
    const auto fraction = [](std::size_t pixel) { return static_cast<double>(pixel) / inkSample; };
    return {fraction(left), fraction(top), fraction(right - left), fraction(bottom - top)};
}

ui::Rect LottiePlayer::sceneRect(const animation::AnimationView& view) {
    const auto scene = view.sceneModel();
    rlottie::Animation* player = scene ? animation(scene) : nullptr;
    if (!player) return view.bounds();
    std::size_t sceneWidth = 0;
    std::size_t sceneHeight = 0;
    player->size(sceneWidth, sceneHeight);
    return fitted(view.contentMode(), {static_cast<double>(sceneWidth), static_cast<double>(sceneHeight)}, view.bounds());
}

void LottiePlayer::draw(const animation::AnimationView& view, cairo_t* cr, dispatch::TimePoint at) {
    const auto frame = frameAt(view, at);
    if (!frame) return;
    rlottie::Animation* player = animation(view.sceneModel());
    const ui::Rect target = sceneRect(view);
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const double deviceScale = std::max(std::hypot(matrix.xx, matrix.yx), std::hypot(matrix.xy, matrix.yy));
    const int wide = static_cast<int>(std::ceil(target.width() * deviceScale));
    const int high = static_cast<int>(std::ceil(target.height() * deviceScale));
    if (wide <= 0 || high <= 0) return;
    // rlottie writes premultiplied native-endian ARGB, which is Cairo's ARGB32. The picture of a
    // scene is kept for its next frame: a new one each frame would cost fresh memory each time.
    Player& kept = animations_[view.sceneModel().get()];
    if (!kept.frame || cairo_image_surface_get_width(kept.frame.get()) != wide ||
        cairo_image_surface_get_height(kept.frame.get()) != high) {
        kept.frame.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wide, high));
    }
    cairo_surface_t* surface = kept.frame.get();
    cairo_surface_flush(surface);
    rlottie::Surface pixels(reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface)),
                            static_cast<std::size_t>(wide), static_cast<std::size_t>(high),
                            static_cast<std::size_t>(cairo_image_surface_get_stride(surface)));
    player->renderSync(*frame, pixels);
    cairo_surface_mark_dirty(surface);

    cairo_save(cr);
    CairoGraphicsContext::originAtTopLeft(cr, target);
    cairo_scale(cr, target.width() / wide, target.height() / high);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

void LottiePlayer::SurfaceDeleter::operator()(cairo_surface_t* surface) const {
    cairo_surface_destroy(surface);
}

}  // namespace platform::render
