#include "PRQLogger/Misc/Constants.hpp"

namespace prq {

const UserInfo& Constants::internalUserInfo() {
    static const UserInfo userInfo = {{std::string(userInfoKeyInternal), AnyValue(true)}};
    return userInfo;
}

}  // namespace prq
