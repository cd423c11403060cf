#include "app/HeldSecrets.hpp"

#include <mutex>
#include <set>

namespace corvantis {

namespace {
struct Store {
    std::mutex mutex;
    std::set<std::string> secrets;
};

Store& store() {
    static Store held;
    return held;
}
}  // namespace

void HeldSecrets::remember(const std::string& secret) {
    if (secret.empty()) return;
    std::lock_guard lock(store().mutex);
    store().secrets.insert(secret);
}

std::vector<std::string> HeldSecrets::all() {
    std::lock_guard lock(store().mutex);
    return {store().secrets.begin(), store().secrets.end()};
}

void HeldSecrets::forgetAll() {
    std::lock_guard lock(store().mutex);
    store().secrets.clear();
}

}  // namespace corvantis
