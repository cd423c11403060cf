#pragma once

#include <string>
#include <typeinfo>

namespace prq {

// The bare name of a type, without namespaces or enclosing classes ("FileDestination").
std::string bareTypeName(const std::type_info& type);

// The name of the type itself.
template <class T>
std::string extractTypeName() {
    return bareTypeName(typeid(T));
}

// The name of the value's own most derived type, also when it is held through a base class.
template <class T>
std::string extractTypeName(const T& value) {
    return bareTypeName(typeid(value));
}

}  // namespace prq
