#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace prq {

// An object of T that this thread reuses from one log line to the next, so that once a thread
// has logged, its lines cost no allocation. A lease taken while another is held on the same
// thread (a formatter or a destination that logs from inside a log call) gets an object of its
// own. Leases end in the reverse order of their start, as scopes do.
template <class T>
class ThreadScratch {
public:
    ThreadScratch() {
        auto& pool = threadPool();
        if (pool.depth == pool.objects.size()) pool.objects.push_back(std::make_unique<T>());
        object_ = pool.objects[pool.depth++].get();
    }
    ~ThreadScratch() { --threadPool().depth; }
    ThreadScratch(const ThreadScratch&) = delete;
    ThreadScratch& operator=(const ThreadScratch&) = delete;

    T& operator*() const { return *object_; }
    T* operator->() const { return object_; }

private:
    struct Pool {
        std::vector<std::unique_ptr<T>> objects;
        std::size_t depth = 0;
    };
    static Pool& threadPool() {
        thread_local Pool pool;
        return pool;
    }

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
