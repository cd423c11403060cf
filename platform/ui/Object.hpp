#pragma once

#include <memory>

namespace platform::ui {

// The common base of the layer's reference objects (responders, gesture recognisers): anything
// that can be the sender of an action. Objects live in `std::shared_ptr`s.
class Object : public std::enable_shared_from_this<Object> {
public:
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

protected:
    Object() = default;

    // This object as its own type; only for objects that already live in a shared pointer.
    template <class Self>
    std::shared_ptr<Self> sharedAs(Self* self) {
        return std::shared_ptr<Self>(shared_from_this(), self);
    }
};

}  // namespace platform::ui
