#include "platform/ui/AnimationLog.hpp"

#include "platform/Services.hpp"

#include <algorithm>
#include <chrono>

namespace platform::ui {

namespace {

double mix(double from, double to, double progress) {
    return from + (to - from) * progress;
}

Point mix(Point from, Point to, double progress) {
    return {mix(from.x, to.x, progress), mix(from.y, to.y, progress)};
}

Rect mix(const Rect& from, const Rect& to, double progress) {
    return {mix(from.origin, to.origin, progress),
            Size{mix(from.size.width, to.size.width, progress), mix(from.size.height, to.size.height, progress)}};
}

// Slow at both ends, as the platform's default animation curve.
double eased(double progress) {
    return progress * progress * (3 - 2 * progress);
}

}  // namespace

dispatch::TimePoint AnimationLog::now() {
    return Services::current().clock()->now();
}

AnimationLog& AnimationLog::shared() {
    static AnimationLog log;
    return log;
}

void AnimationLog::record(const void* object, std::string property, Target target, double duration, std::optional<Target> from) {
    if (records_.size() == capacity) records_.pop_front();
    records_.push_back({object, std::move(property), target, duration, now(), false, std::move(from)});
}

bool AnimationLog::isRunning(const Record& record, dispatch::TimePoint at) {
    const auto length = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(record.duration));
    return !record.cancelled && at < record.startedAt + length;
}

void AnimationLog::cancel(const void* object, std::initializer_list<const char*> properties) {
    const auto at = now();
    for (Record& record : records_) {
        if (record.object != object || !isRunning(record, at)) continue;
        for (const char* property : properties) {
            if (record.property == property) record.cancelled = true;
        }
    }
}

std::vector<AnimationLog::Record> AnimationLog::records(const void* object) const {
    std::vector<Record> found;
    for (const Record& record : records_) {
        if (record.object == object) found.push_back(record);
    }
    return found;
}

std::optional<AnimationLog::Target> AnimationLog::presentationValue(const void* object, const std::string& property,
                                                                    dispatch::TimePoint at) const {
    for (auto record = records_.rbegin(); record != records_.rend(); ++record) {
        if (record->object != object || record->property != property) continue;
        if (!isRunning(*record, at) || !record->from || record->from->index() != record->target.index()) return std::nullopt;
        const double elapsed = std::chrono::duration<double>(at - record->startedAt).count();
        const double progress = eased(std::clamp(elapsed / record->duration, 0.0, 1.0));
        return std::visit(
            [&](const auto& target) -> Target {
                return mix(std::get<std::decay_t<decltype(target)>>(*record->from), target, progress);
            },
            record->target);
    }
    return std::nullopt;
}

double AnimationLog::presentedAlpha(const void* object, double modelAlpha, dispatch::TimePoint at) const {
    const auto value = presentationValue(object, "alphaValue", at);
    return value ? std::get<double>(*value) : modelAlpha;
}

Rect AnimationLog::presentedFrame(const void* object, const Rect& modelFrame, dispatch::TimePoint at) const {
    if (const auto frame = presentationValue(object, "frame", at)) return std::get<Rect>(*frame);
    if (const auto origin = presentationValue(object, "frameOrigin", at)) return {std::get<Point>(*origin), modelFrame.size};
    return modelFrame;
}

bool AnimationLog::isAnimating(const void* object, dispatch::TimePoint at) const {
    for (const Record& record : records_) {
        if (record.object == object && isRunning(record, at)) return true;
    }
    return false;
}

bool AnimationLog::isAnimating(const void* object, const std::string& property) const {
    const auto at = now();
    for (const Record& record : records_) {
        if (record.object == object && record.property == property && isRunning(record, at)) return true;
    }
    return false;
}

}  // namespace platform::ui
