#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::foundation {

// Work done out of a known amount of units. A progress made with `withTotalUnitCount` while
// another one is current on the same thread joins it as a child: the child's fraction counts
// toward the units the parent set aside with `becomeCurrent`, so a caller can follow work it
// did not start itself. A progress belongs to the thread that made it.
class Progress {
public:
    explicit Progress(std::int64_t totalUnitCount);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // A progress of `totalUnitCount` units, made a child of the thread's current progress when
    // there is one.
    static std::shared_ptr<Progress> withTotalUnitCount(std::int64_t totalUnitCount);
    // The progress made current on this thread, or none.
    static Progress* current();

    std::int64_t totalUnitCount() const { return total_; }
    // Own completed units plus the pending units of every finished child.
    std::int64_t completedUnitCount() const;
    void setCompletedUnitCount(std::int64_t completed) { completed_ = completed; }
    // Completed units, plus each unfinished child's share of its pending units, over the total;
    // 0 while the total is 0 or less. May exceed 1 when more than the total was completed.
    double fractionCompleted() const;
    bool isFinished() const { return completedUnitCount() >= total_; }

    // Makes this progress current on the calling thread: the first progress made next joins it
    // for `pendingUnitCount` units. Pair every call with `resignCurrent` on the same thread.
    void becomeCurrent(std::int64_t pendingUnitCount);
    // Restores the previous current progress. Pending units that no child took count as done.
    void resignCurrent();

private:
    struct Child {
        std::shared_ptr<Progress> progress;
        std::int64_t pendingUnitCount;
    };

    void adopt(std::shared_ptr<Progress> child);

    std::int64_t total_;
    std::int64_t completed_ = 0;
    std::vector<Child> children_;
    std::int64_t pendingUnitCount_ = 0;
    bool pendingTaken_ = false;
    Progress* previousCurrent_ = nullptr;
};

}  // namespace platform::foundation
