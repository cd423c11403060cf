#include "PRQLogger/Misc/AnyValue.hpp"

#include "platform/foundation/NumberText.hpp"

namespace prq {

namespace {
template <class Items>
std::string bracketed(const Items& items, std::string (AnyValue::*describe)() const) {
    std::string text = "[";
    for (auto item = items.begin(); item != items.end(); ++item) {
        if (item != items.begin()) text += ", ";
        text += ((*item).*describe)();
    }
    return text + "]";
}
}  // namespace

std::string AnyValue::description() const {
    return std::visit(
        [](const auto& value) -> std::string {
            using T = std::decay_t<decltype(value)>;
            if constexpr (std::is_same_v<T, bool>) {
                return value ? "true" : "false";
            } else if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::uint64_t>) {
                return std::to_string(value);
            } else if constexpr (std::is_same_v<T, double>) {
                return platform::foundation::doubleDescription(value);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return value;
            } else {
                return bracketed(value, &AnyValue::debugDescription);
            }
        },
        content_);
}

std::string AnyValue::debugDescription() const {
    if (const auto* text = get_if<std::string>()) return "\"" + *text + "\"";
    return description();
}

}  // namespace prq
