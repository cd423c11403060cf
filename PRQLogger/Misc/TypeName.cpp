#include "PRQLogger/Misc/TypeName.hpp"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>

namespace prq {

std::string bareTypeName(const std::type_info& type) {
    int status = 0;
    const std::unique_ptr<char, decltype(&std::free)> demangled(abi::__cxa_demangle(type.name(), nullptr, nullptr, &status),
                                                                &std::free);
    const std::string name = status == 0 && demangled ? demangled.get() : type.name();
    // Cut at the last "::" outside template arguments.
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < name.size(); ++i) {
        if (name[i] == '<') ++depth;
        if (name[i] == '>') --depth;
        if (depth == 0 && name[i] == ':' && name[i + 1] == ':') start = i + 2;
    }
    return name.substr(start);
}

}  // namespace prq
