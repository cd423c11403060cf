#pragma once

#include <map>
#include <mutex>
#include <optional>

namespace platform::foundation {

// The steps of a platform model that are told to fail, and with which code, so that tests reach
// every failure road of the code above it. Nothing fails unless asked; safe from any thread.
template <class Step>
class Faults {
public:
    // `code` 0: the model's usual code for a failure of that step.
    void fail(Step step, int code = 0) {
        std::lock_guard lock(mutex_);
        failing_[step] = code;
    }
    void heal(Step step) {
        std::lock_guard lock(mutex_);
        failing_.erase(step);
    }
    // The code the step is to fail with; none when it is to succeed.
    std::optional<int> failure(Step step) const {
        std::lock_guard lock(mutex_);
        const auto found = failing_.find(step);
        if (found == failing_.end()) return std::nullopt;
        return found->second;
    }
    bool fails(Step step) const { return failure(step).has_value(); }

private:
    mutable std::mutex mutex_;
    std::map<Step, int> failing_;
};

}  // namespace platform::foundation
