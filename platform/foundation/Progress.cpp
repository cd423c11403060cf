#include "platform/foundation/Progress.hpp"

#include <algorithm>

namespace platform::foundation {

namespace {
thread_local Progress* currentProgress = nullptr;
}

Progress::Progress(std::int64_t totalUnitCount) : total_(totalUnitCount) {}

std::shared_ptr<Progress> Progress::withTotalUnitCount(std::int64_t totalUnitCount) {
    auto progress = std::make_shared<Progress>(totalUnitCount);
    if (currentProgress != nullptr) currentProgress->adopt(progress);
    return progress;
}

Progress* Progress::current() {
    return currentProgress;
}

void Progress::adopt(std::shared_ptr<Progress> child) {
    if (pendingTaken_) return;
    pendingTaken_ = true;
    children_.push_back(Child{std::move(child), pendingUnitCount_});
}

std::int64_t Progress::completedUnitCount() const {
    std::int64_t completed = completed_;
    for (const auto& child : children_) {
        if (child.progress->isFinished()) completed += child.pendingUnitCount;
    }
    return completed;
}

double Progress::fractionCompleted() const {
    if (total_ <= 0) return 0.0;
    double done = static_cast<double>(completedUnitCount());
    for (const auto& child : children_) {
        if (!child.progress->isFinished()) {
            const double share = std::clamp(child.progress->fractionCompleted(), 0.0, 1.0);
            done += share * static_cast<double>(child.pendingUnitCount);
        }
    }
    return done / static_cast<double>(total_);
}

void Progress::becomeCurrent(std::int64_t pendingUnitCount) {
    pendingUnitCount_ = pendingUnitCount;
    pendingTaken_ = false;
    previousCurrent_ = currentProgress;
    currentProgress = this;
}

void Progress::resignCurrent() {
    if (!pendingTaken_) completed_ += pendingUnitCount_;
    pendingUnitCount_ = 0;
    pendingTaken_ = true;
    currentProgress = previousCurrent_;
    previousCurrent_ = nullptr;
}

}  // namespace platform::foundation
