#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace prq {

template <class Signature>
class FunctionRef;

// A borrowed callable: it costs neither an allocation nor a copy, and must not outlive the
// callable it refers to. Log calls hand their message closures on this way.
template <class Result, class... Arguments>
class FunctionRef<Result(Arguments...)> {
public:
    template <class Callable>
    requires(!std::is_same_v<std::remove_cvref_t<Callable>, FunctionRef> &&
             std::is_invocable_r_v<Result, Callable&, Arguments...>) FunctionRef(Callable&& callable)
        : object_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
          call_([](void* object, Arguments... arguments) -> Result {
              return std::invoke(*static_cast<std::remove_reference_t<Callable>*>(object), std::forward<Arguments>(arguments)...);
          }) {}

    Result operator()(Arguments... arguments) const { return call_(object_, std::forward<Arguments>(arguments)...); }

private:
    void* object_;
    Result (*call_)(void*, Arguments...);
};

}  // namespace prq
