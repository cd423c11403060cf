#pragma once

namespace platform::dispatch {

// The calling thread's own T, made on first use, for what code may still reach while the thread
// ends: while exit() runs, atexit handlers and static destructors come after the main thread's
// thread_local objects are destroyed. From then on `get` answers null and the caller does without.
// Each use names a T of its own, so two uses never share one object.
template <class T>
class ThreadLocalObject {
public:
    static T* get() {
        if (destroyed) return nullptr;
        thread_local Holder holder;
        return &holder.object;
    }

private:
    struct Holder {
        T object;
        ~Holder() { destroyed = true; }
    };
    // Trivially destructible, so it can be read until the thread is gone.
    static inline thread_local bool destroyed = false;
};

}  // namespace platform::dispatch
