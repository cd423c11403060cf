#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform::foundation {

// One posted notification: its name and the object that posted it (may be null).
struct Notification {
    std::string name;
    std::shared_ptr<const void> object;
};

// Delivers notifications to the observers registered for their name. Safe from any thread.
class NotificationCenter {
public:
    // The center in force: the installed platform services' one, else the process's own.
    static std::shared_ptr<NotificationCenter> defaultCenter();

    // What `addObserver` returns; the observer stays registered until it is removed.
    class Observer;
    using ObserverToken = std::shared_ptr<Observer>;

    // Registers `block` for notifications named `name` (empty: every name) posted by `object`
    // (null: by anyone). With a queue the block runs there, else on the posting thread.
    ObserverToken addObserver(std::string name, std::shared_ptr<const void> object,
                              std::shared_ptr<dispatch::DispatchQueue> queue, std::function<void(const Notification&)> block);
    void removeObserver(const ObserverToken& observer);

    // Hands the notification to every matching observer, in the order they were added.
    void post(const Notification& notification);
    void post(std::string name, std::shared_ptr<const void> object) { post(Notification{std::move(name), std::move(object)}); }

private:
    mutable std::mutex mutex_;
    std::vector<ObserverToken> observers_;
};

class NotificationCenter::Observer {
public:
    Observer(std::string name, std::shared_ptr<const void> object, std::shared_ptr<dispatch::DispatchQueue> queue,
             std::function<void(const Notification&)> block)
        : name_(std::move(name)), object_(std::move(object)), queue_(std::move(queue)), block_(std::move(block)) {}

    bool wants(const Notification& notification) const;
    void deliver(const Notification& notification) const;

private:
    const std::string name_;
    const std::shared_ptr<const void> object_;
    const std::shared_ptr<dispatch::DispatchQueue> queue_;
    const std::function<void(const Notification&)> block_;
};

}  // namespace platform::foundation
