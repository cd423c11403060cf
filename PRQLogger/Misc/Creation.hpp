#pragma once

#include <memory>
#include <type_traits>
#include <utility>

namespace prq {

template <class T, class... Arguments>
std::shared_ptr<T> create(Arguments&&... arguments);

// Admission to the constructors of classes whose set-up calls their own overridable operations.
// Only `create` makes one, so such an object is never left without its set-up.
class CreationKey {
    CreationKey() = default;

    template <class T, class... Arguments>
    friend std::shared_ptr<T> create(Arguments&&... arguments);
};

// Makes a filter, formatter or destination of the logging component. A constructor runs before
// the parts of a subclass exist, so an overridable operation called there would miss the
// subclass's override; a class that needs one in its set-up takes a `CreationKey` in its
// constructors and does that set-up in `didCreate(CreationKey)`, which runs here once the whole
// object is built:
//
//     auto colours = prq::create<prq::ANSIColorLogFormatter>();   // the default scheme, or a subclass's
template <class T, class... Arguments>
std::shared_ptr<T> create(Arguments&&... arguments) {
    std::shared_ptr<T> object;
    if constexpr (std::is_constructible_v<T, CreationKey, Arguments...>) {
        object = std::make_shared<T>(CreationKey(), std::forward<Arguments>(arguments)...);
    } else {
        object = std::make_shared<T>(std::forward<Arguments>(arguments)...);
    }
    if constexpr (requires { object->didCreate(CreationKey()); }) object->didCreate(CreationKey());
    return object;
}

}  // namespace prq
