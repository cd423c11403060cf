#pragma once

#include "platform/dispatch/ThreadLocalObject.hpp"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace prq {

// An object of T that this thread reuses from one log line to the next, so that once a thread
// has logged, its lines cost no allocation. A lease taken while another is held on the same
// thread (a formatter or a destination that logs from inside a log call) gets an object of its
// own. Leases end in the reverse order of their start, as scopes do. Once the thread's objects
// are gone (see `ThreadLocalObject`), a lease makes a fresh object for itself.
template <class T>
class ThreadScratch {
public:
    ThreadScratch() : pool_(platform::dispatch::ThreadLocalObject<Pool>::get()) {
        if (!pool_) {
            own_ = std::make_unique<T>();
            object_ = own_.get();
            return;
        }
        if (pool_->depth == pool_->objects.size()) pool_->objects.push_back(std::make_unique<T>());
        object_ = pool_->objects[pool_->depth++].get();
    }
    ~ThreadScratch() {
        if (pool_) --pool_->depth;
    }
    ThreadScratch(const ThreadScratch&) = delete;
    ThreadScratch& operator=(const ThreadScratch&) = delete;

    T& operator*() const { return *object_; }
    T* operator->() const { return object_; }

private:
    struct Pool {
        std::vector<std::unique_ptr<T>> objects;
        std::size_t depth = 0;
    };

    Pool* pool_;
    std::unique_ptr<T> own_;
    T* object_;
};

// Whether a reused text grew far beyond an ordinary line. Such storage is let go of, so that one
// huge message does not stay with the thread for good.
inline bool isOversized(const std::string& text) {
    constexpr std::size_t ordinaryLimit = 16 * 1024;
    return text.capacity() > ordinaryLimit;
}
inline void releaseIfOversized(std::string& text) {
    if (isOversized(text)) std::string().swap(text);
}

}  // namespace prq
