#pragma once

#include <functional>
#include <mutex>

namespace platform::dispatch {

// Runs a block exactly once, however many threads ask at the same time.
class Once {
public:
    void perform(const std::function<void()>& block) { std::call_once(flag_, block); }

private:
    std::once_flag flag_;
};

}  // namespace platform::dispatch
