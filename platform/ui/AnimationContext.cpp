#include "platform/ui/AnimationContext.hpp"

#include "platform/dispatch/DispatchQueue.hpp"

#include <chrono>
#include <vector>

namespace platform::ui {

namespace {
std::vector<double>& groupDurations() {
    static std::vector<double> durations;
    return durations;
}

class GroupScope {
public:
    explicit GroupScope(double duration) { groupDurations().push_back(duration); }
    ~GroupScope() { groupDurations().pop_back(); }
    GroupScope(const GroupScope&) = delete;
    GroupScope& operator=(const GroupScope&) = delete;
};
}  // namespace

void AnimationContext::runAnimationGroup(double duration, const std::function<void()>& changes,
                                         std::function<void()> completion) {
    {
        GroupScope group(duration);
        changes();
    }
    if (!completion) return;
    const auto delay = std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(duration));
    dispatch::DispatchQueue::main()->asyncAfter(delay, std::move(completion));
}

double AnimationContext::currentDuration() {
    return groupDurations().empty() ? defaultDuration : groupDurations().back();
}

}  // namespace platform::ui
