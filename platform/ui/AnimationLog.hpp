#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/Point.hpp"
#include "platform/ui/Rect.hpp"

#include <deque>
#include <initializer_list>
#include <string>
#include <variant>
#include <vector>

namespace platform::ui {

// The animations started through animator proxies, in order: the latest `capacity` of them, so
// that a long run does not grow it without end. The model value has already changed when an
// animation is recorded; the record says how the change would be shown. Main thread only.
class AnimationLog {
public:
    using Target = std::variant<double, Rect, Point>;

    struct Record {
        const void* object;  // identity only, never followed
        std::string property;  // "alphaValue", "frame", "frameOrigin"
        Target target;
        double duration;  // seconds
        dispatch::TimePoint startedAt;
        bool cancelled = false;
    };

    static constexpr std::size_t capacity = 1024;

    static AnimationLog& shared();

    void record(const void* object, std::string property, Target target, double duration);
    // Ends the running animations of these properties of `object`: their value was set directly.
    void cancel(const void* object, std::initializer_list<const char*> properties);

    const std::deque<Record>& records() const { return records_; }
    // The records of one object, in order.
    std::vector<Record> records(const void* object) const;
    // Whether an animation of `property` of `object` is under way now.
    bool isAnimating(const void* object, const std::string& property) const;
    void clear() { records_.clear(); }

private:
    static bool isRunning(const Record& record, dispatch::TimePoint now);

    std::deque<Record> records_;
};

}  // namespace platform::ui
