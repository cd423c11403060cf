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
    }
    return player.animation.get();
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

void LottiePlayer::draw(const animation::AnimationView& view, cairo_t* cr, dispatch::TimePoint at) {
    const auto frame = frameAt(view, at);
    if (!frame) return;
    rlottie::Animation* player = animation(view.sceneModel());
    std::size_t sceneWidth = 0;
    std::size_t sceneHeight = 0;
    player->size(sceneWidth, sceneHeight);
    const ui::Rect target =
        fitted(view.contentMode(), {static_cast<double>(sceneWidth), static_cast<double>(sceneHeight)}, view.bounds());
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    const double deviceScale = std::max(std::hypot(matrix.xx, matrix.yx), std::hypot(matrix.xy, matrix.yy));
    const int wide = static_cast<int>(std::ceil(target.width() * deviceScale));
    const int high = static_cast<int>(std::ceil(target.height() * deviceScale));
    if (wide <= 0 || high <= 0) return;
    // rlottie writes premultiplied native-endian ARGB, which is Cairo's ARGB32.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wide, high);
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
    cairo_surface_destroy(surface);
}

}  // namespace platform::render
