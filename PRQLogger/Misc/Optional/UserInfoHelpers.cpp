#include "PRQLogger/Misc/Optional/UserInfoHelpers.hpp"

namespace prq {

AnyValue joinedUserInfoValues(const AnyValue& left, const AnyValue& right) {
    if (right.is<AnyValue::Set>() || left.is<AnyValue::Set>()) return left;
    const auto* leftList = left.get_if<AnyValue::List>();
    const auto* rightList = right.get_if<AnyValue::List>();
    if (leftList && rightList) {
        AnyValue::List joined = *leftList;
        joined.insert(joined.end(), rightList->begin(), rightList->end());
        return joined;
    }
    if (leftList || rightList) {
        AnyValue::List joined = leftList ? *leftList : *rightList;
        joined.push_back(leftList ? right : left);
        return joined;
    }
    return AnyValue::List{left, right};
}

}  // namespace prq
