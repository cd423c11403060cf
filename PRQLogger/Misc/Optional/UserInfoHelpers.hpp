#pragma once

#include "PRQLogger/Misc/AnyValue.hpp"
#include "PRQLogger/Misc/Constants.hpp"

#include <concepts>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace prq {

// A label that a log call carries in its user information under the label's own key. `Label`
// names the key (`Label::userInfoKey`).
template <class Label>
class UserInfoLabel {
public:
    explicit UserInfoLabel(std::string name) : name_(std::move(name)) {}

    // A label with this name.
    static Label name(std::string name) { return Label(std::move(name)); }
    // { the label's key: the names in the order given, repeats kept }.
    template <class... Names>
    requires(std::constructible_from<std::string, Names>&&...) static std::map<std::string, std::vector<std::string>> names(
        Names&&... labels) {
        return {{std::string(Label::userInfoKey), std::vector<std::string>{std::string(std::forward<Names>(labels))...}}};
    }

    const std::string& name() const { return name_; }
    void setName(std::string name) { name_ = std::move(name); }
    // { the label's key: its name }.
    std::map<std::string, std::string> dictionary() const { return {{std::string(Label::userInfoKey), name_}}; }

private:
    std::string name_;
};

// A tag of a log call, e.g. `logger->info(message, Tag("ui") | Tag("net"))`.
class Tag : public UserInfoLabel<Tag> {
public:
    static constexpr std::string_view userInfoKey = Constants::userInfoKeyTags;
    using UserInfoLabel::UserInfoLabel;
};

// The developer a log call concerns.
class Dev : public UserInfoLabel<Dev> {
public:
    static constexpr std::string_view userInfoKey = Constants::userInfoKeyDevs;
    using UserInfoLabel::UserInfoLabel;
};

// What `Tag` and `Dev` offer: a name, and the one-entry map that carries it.
template <class T>
concept UserInfoTaggingProtocol = requires(const T& label) {
    { label.name() } -> std::convertible_to<std::string>;
    { label.dictionary() } -> std::same_as<std::map<std::string, std::string>>;
};

// The value of a key that both sides of `|` hold: a set on either side keeps the left value;
// lists are joined, left first; a single value joins the other side's list at its end; two
// single values become a list of both.
AnyValue joinedUserInfoValues(const AnyValue& left, const AnyValue& right);

// Merges two maps: keys of one side keep their values, shared keys join theirs (see above).
template <class Key, class Value>
requires std::constructible_from<AnyValue, const Value&> std::map<Key, AnyValue>
operator|(const std::map<Key, Value>& lhs, const std::map<Key, Value>& rhs) {
    std::map<Key, AnyValue> merged;
    for (const auto& [key, value] : lhs) merged.emplace(key, AnyValue(value));
    for (const auto& [key, right] : rhs) {
        const auto left = lhs.find(key);
        merged.insert_or_assign(
            key, left == lhs.end() ? AnyValue(right) : joinedUserInfoValues(AnyValue(left->second), AnyValue(right)));
    }
    return merged;
}

template <UserInfoTaggingProtocol Left, UserInfoTaggingProtocol Right>
UserInfo operator|(const Left& lhs, const Right& rhs) {
    return lhs.dictionary() | rhs.dictionary();
}

template <UserInfoTaggingProtocol Label>
UserInfo operator|(const Label& lhs, const UserInfo& rhs) {
    const auto labelled = lhs.dictionary();
    return UserInfo(labelled.begin(), labelled.end()) | rhs;
}

// The label's entry comes first here too: the map is the right side of the merge.
template <UserInfoTaggingProtocol Label>
UserInfo operator|(const UserInfo& lhs, const Label& rhs) {
    return rhs | lhs;
}

}  // namespace prq
