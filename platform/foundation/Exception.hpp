#pragma once

#include <any>
#include <exception>
#include <map>
#include <optional>
#include <string>

namespace platform::foundation {

// The platform's exception: a name, a reason and optional extra information. It is raised only
// where the system itself raises one (a file handle whose write fails) and caught right there.
class Exception : public std::exception {
public:
    using UserInfo = std::map<std::string, std::any>;

    Exception(std::string name, std::optional<std::string> reason, std::optional<UserInfo> userInfo = std::nullopt)
        : name_(std::move(name)), reason_(std::move(reason)), userInfo_(std::move(userInfo)) {}

    const std::string& name() const { return name_; }
    const std::optional<std::string>& reason() const { return reason_; }
    const std::optional<UserInfo>& userInfo() const { return userInfo_; }

    // What a person reads: the reason, or the name when there is none.
    const std::string& description() const { return reason_ ? *reason_ : name_; }
    const char* what() const noexcept override { return description().c_str(); }

private:
    std::string name_;
    std::optional<std::string> reason_;
    std::optional<UserInfo> userInfo_;
};

}  // namespace platform::foundation
