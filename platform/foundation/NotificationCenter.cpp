#include "platform/foundation/NotificationCenter.hpp"

#include "platform/Services.hpp"

#include <algorithm>

namespace platform::foundation {

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
    return Services::current().notificationCenter();
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(std::string name, std::shared_ptr<const void> object,
                                                                  std::shared_ptr<dispatch::DispatchQueue> queue,
                                                                  std::function<void(const Notification&)> block) {
    auto observer = std::make_shared<Observer>(std::move(name), std::move(object), std::move(queue), std::move(block));
    std::lock_guard lock(mutex_);
    observers_.push_back(observer);
    return observer;
}

void NotificationCenter::removeObserver(const ObserverToken& observer) {
    std::lock_guard lock(mutex_);
    std::erase(observers_, observer);
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<ObserverToken> matching;
    {
        std::lock_guard lock(mutex_);
        std::copy_if(observers_.begin(), observers_.end(), std::back_inserter(matching),
                     [&](const ObserverToken& observer) { return observer->wants(notification); });
    }
    // Outside the lock: a block may add or remove observers, or post again.
    for (const auto& observer : matching) observer->deliver(notification);
}

bool NotificationCenter::Observer::wants(const Notification& notification) const {
    return (name_.empty() || name_ == notification.name) && (!object_ || object_ == notification.object);
}

void NotificationCenter::Observer::deliver(const Notification& notification) const {
    if (queue_) {
        queue_->async([block = block_, notification] { block(notification); });
    } else {
        block_(notification);
    }
}

}  // namespace platform::foundation
