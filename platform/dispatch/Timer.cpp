#include "platform/dispatch/Timer.hpp"

#include "platform/Services.hpp"

namespace platform::dispatch {

std::shared_ptr<Timer> Timer::scheduledTimer(Duration interval, bool repeats, Block block, DispatchQueuePtr queue) {
    std::shared_ptr<Timer> timer(new Timer(interval, repeats, std::move(block), std::move(queue)));
    timer->arm(Services::current().clock()->now() + interval);
    return timer;
}

Timer::Timer(Duration interval, bool repeats, Block block, DispatchQueuePtr queue)
    // A non-positive interval would fire endlessly at one moment; take the smallest step instead.
    : interval_(interval > Duration::zero() ? interval : std::chrono::microseconds(100)),
      repeats_(repeats),
      block_(std::move(block)),
      queue_(std::move(queue)) {}

void Timer::arm(TimePoint due) {
    Services::current().clock()->schedule(due, [self = shared_from_this(), due] {
        self->queue_->async([self, due] {
            if (!self->isValid()) return;
            // Re-arm from the planned moment, not from now, so a repeating timer does not drift.
            if (self->repeats_) self->arm(due + self->interval_);
            self->fire();
        });
    });
}

void Timer::fire() {
    if (!isValid()) return;
    if (!repeats_) invalidate();
    block_(*this);
}

}  // namespace platform::dispatch
