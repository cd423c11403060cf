#include "platform/animation/AnimationView.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"

#include <chrono>

namespace platform::animation {

std::optional<ContentMode> contentModeFromRaw(int raw) {
    if (raw < 0 || raw > static_cast<int>(ContentMode::center)) return std::nullopt;
    return static_cast<ContentMode>(raw);
}

AnimationView::AnimationView(std::shared_ptr<const Composition> scene, ui::Rect frame)
    : ui::View(frame), scene_(std::move(scene)) {
    // Drawn in layers, as the animation framework's view is: so it has a z position to sit behind controls.
    setWantsLayer(true);
}

std::shared_ptr<AnimationView> AnimationView::named(const std::string& name) {
    return std::make_shared<AnimationView>(Composition::named(name));
}

void AnimationView::setSceneModel(std::shared_ptr<const Composition> scene) {
    interrupt();
    scene_ = std::move(scene);
}

void AnimationView::interrupt() {
    ++playNumber_;
    playing_ = false;
    if (auto completion = std::exchange(completion_, nullptr)) completion(false);
}

void AnimationView::stop() {
    interrupt();
}

void AnimationView::play(Completion completion) {
    interrupt();
    ++playCount_;
    if (!scene_) {
        if (completion) completion(false);
        return;
    }
    playing_ = true;
    playStartedAt_ = Services::current().clock()->now();
    completion_ = std::move(completion);
    if (loopAnimation_) return;
    const auto length = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(scene_->duration()));
    std::weak_ptr<AnimationView> weakSelf = std::static_pointer_cast<AnimationView>(sharedView());
    dispatch::DispatchQueue::main()->asyncAfter(length, [weakSelf, number = playNumber_] {
        const auto self = weakSelf.lock();
        if (!self || self->playNumber_ != number) return;
        self->playing_ = false;
        if (auto done = std::exchange(self->completion_, nullptr)) done(true);
    });
}

}  // namespace platform::animation
