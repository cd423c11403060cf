#include "PRQLogger/Misc/ExceptionBridge.hpp"

#include <exception>

namespace prq {

void _try(FunctionRef<void()> work, FunctionRef<void(const platform::foundation::Exception&)> catchClosure,
          std::optional<FunctionRef<void()>> finally) {
    std::exception_ptr unhandled;
    try {
        work();
    } catch (const platform::foundation::Exception& exception) {
        try {
            catchClosure(exception);
        } catch (...) {
            unhandled = std::current_exception();
        }
    } catch (...) {
        unhandled = std::current_exception();
    }
    if (finally) (*finally)();
    if (unhandled) std::rethrow_exception(unhandled);
}

void _throw(const std::string& name, const std::optional<std::string>& message,
            const std::optional<platform::foundation::Exception::UserInfo>& userInfo) {
    throw platform::foundation::Exception(name, message ? *message : name, userInfo);
}

}  // namespace prq
