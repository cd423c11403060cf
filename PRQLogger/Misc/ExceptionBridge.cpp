#include "PRQLogger/Misc/ExceptionBridge.hpp"

#include <exception>

namespace prq {

void _try(const std::function<void()>& work,
          const std::function<void(const platform::foundation::Exception&)>& catchClosure,
          const std::function<void()>& finally) {
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
    if (finally) finally();
    if (unhandled) std::rethrow_exception(unhandled);
}

void _throw(const std::string& name, const std::optional<std::string>& message,
            const std::optional<platform::foundation::Exception::UserInfo>& userInfo) {
    throw platform::foundation::Exception(name, message ? *message : name, userInfo);
}

}  // namespace prq
