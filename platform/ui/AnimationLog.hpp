#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/Point.hpp"
#include "platform/ui/Rect.hpp"

#include <deque>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace platform::ui {

// The animations started through animator proxies, in order: the latest `capacity` of them, so
// that a long run does not grow it without end. The model value has already changed when an
// animation is recorded; the record says how the change is shown, from the value on screen when
// it started to the target, so that a renderer can ask what to show in between. Main thread only.
class AnimationLog {
public:
    using Target = std::variant<double, Rect, Point>;

    struct Record {
        const void* object;    // identity only, never followed
        std::string property;  // "alphaValue", "frame", "frameOrigin"
        Target target;
        double duration;  // seconds
        dispatch::TimePoint startedAt;
        bool cancelled = false;
        std::optional<Target> from{};  // the value shown when the animation started
    };

    static constexpr std::size_t capacity = 1024;

    static AnimationLog& shared();
    // The time animations are measured by: the main queue's clock.
    static dispatch::TimePoint now();

    void record(const void* object, std::string property, Target target, double duration,
                std::optional<Target> from = std::nullopt);
    // Ends the running animations of these properties of `object`: their value was set directly.
    void cancel(const void* object, std::initializer_list<const char*> properties);

    const std::deque<Record>& records() const { return records_; }
    // The records of one object, in order.
    std::vector<Record> records(const void* object) const;
    // Whether an animation of `property` of `object` is under way now.
    bool isAnimating(const void* object, const std::string& property) const;
    void clear() { records_.clear(); }

    // What is shown of `property` of `object` at `at`: a value between the running animation's
    // start and target, eased in and out; none when no animation of it with a start value runs.
    std::optional<Target> presentationValue(const void* object, const std::string& property, dispatch::TimePoint at) const;
    // The alpha and frame shown at `at`, given the model's values.
    double presentedAlpha(const void* object, double modelAlpha, dispatch::TimePoint at) const;
    Rect presentedFrame(const void* object, const Rect& modelFrame, dispatch::TimePoint at) const;
    // Whether anything of `object` is being animated at `at`.
    bool isAnimating(const void* object, dispatch::TimePoint at) const;

private:
    static bool isRunning(const Record& record, dispatch::TimePoint now);

    std::deque<Record> records_;
};

}  // namespace platform::ui
