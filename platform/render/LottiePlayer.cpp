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

std::vector<ui::Rect> LottiePlayer::inkedRects(const animation::AnimationView& view) {
    const ui::Rect target = sceneRect(view);
    const auto scene = view.sceneModel();
    rlottie::Animation* player = scene ? animation(scene) : nullptr;
    if (!player || player->totalFrame() == 0) return {target};
    Player& kept = animations_[scene.get()];
    if (!kept.ink) kept.ink = inkOf(*player);
    std::vector<ui::Rect> parts;
    for (const ui::Rect& ink : *kept.ink) {
        const double minX = target.minX() + ink.minX() * target.width();
        const double minY = target.minY() + ink.minY() * target.height();
        const double maxX = target.minX() + ink.maxX() * target.width();
        const double maxY = target.minY() + ink.maxY() * target.height();
        parts.push_back({minX, minY, std::max(0.0, maxX - minX), std::max(0.0, maxY - minY)});
    }
    return parts;
}

std::vector<ui::Rect> LottiePlayer::inkOf(rlottie::Animation& player) {
    // Every frame drawn once, small, and the pixels any of them touches gathered: the part of
    // the canvas the scene ever draws on, as fractions of it, in bands of a few rows, each cut
    // into the runs of columns it draws on (a ring's band is its two sides, not its middle).
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(inkSample * inkSample));
    std::vector<bool> inked(pixels.size(), false);
    rlottie::Surface surface(pixels.data(), inkSample, inkSample, inkSample * sizeof(std::uint32_t));
    for (std::size_t frame = 0; frame < player.totalFrame(); ++frame) {
        player.renderSync(frame, surface);
        for (std::size_t at = 0; at < pixels.size(); ++at) {
            if ((pixels[at] >> 24) != 0) inked[at] = true;
        }
    }
    // A pixel more on each side of the small picture, for what its pixels rounded away.
    std::vector<bool> around(inked.size(), false);
    for (std::size_t y = 0; y < inkSample; ++y) {
        for (std::size_t x = 0; x < inkSample; ++x) {
            if (!inked[y * inkSample + x]) continue;
            for (std::size_t near = y > 0 ? y - 1 : 0; near <= std::min(y + 1, inkSample - 1); ++near) {
                for (std::size_t side = x > 0 ? x - 1 : 0; side <= std::min(x + 1, inkSample - 1); ++side) {
                    around[near * inkSample + side] = true;
                }
            }
        }
    }
    inked = std::move(around);
    // Runs closer than this many columns are one part: a part more costs more than a few pixels.
    constexpr std::size_t joinedGap = 3;
    const auto fraction = [](std::size_t pixel) { return static_cast<double>(pixel) / inkSample; };
    std::vector<ui::Rect> parts;
    for (std::size_t band = 0; band < inkSample; band += inkBand) {
        std::size_t top = inkSample;
        std::size_t bottom = 0;
        std::vector<bool> columns(inkSample, false);
        for (std::size_t y = band; y < std::min(band + inkBand, inkSample); ++y) {
            for (std::size_t x = 0; x < inkSample; ++x) {
                if (!inked[y * inkSample + x]) continue;
                columns[x] = true;
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
        }
        for (std::size_t x = 0; x < inkSample;) {
            if (!columns[x]) {
                ++x;
                continue;
            }
            std::size_t end = x + 1;
            for (std::size_t next = end; next < inkSample && next <= end + joinedGap; ++next) {
                if (columns[next]) end = next + 1;
            }
            parts.push_back({fraction(x), fraction(top), fraction(end - x), fraction(bottom - top)});
            x = end;
        }
    }
    return parts;
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
