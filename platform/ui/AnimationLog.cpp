#include "platform/ui/AnimationLog.hpp"

#include "platform/Services.hpp"

#include <chrono>

namespace platform::ui {

namespace {
dispatch::TimePoint now() {
    return Services::current().clock()->now();
}
}  // namespace

AnimationLog& AnimationLog::shared() {
    static AnimationLog log;
    return log;
}

void AnimationLog::record(const void* object, std::string property, Target target, double duration) {
    if (records_.size() == capacity) records_.pop_front();
    records_.push_back({object, std::move(property), target, duration, now()});
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

bool AnimationLog::isAnimating(const void* object, const std::string& property) const {
    const auto at = now();
    for (const Record& record : records_) {
        if (record.object == object && record.property == property && isRunning(record, at)) return true;
    }
    return false;
}

}  // namespace platform::ui
