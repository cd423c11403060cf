#pragma once

#include "PRQLogger/Filters/FilterProtocol.hpp"
#include "PRQLogger/Filters/MatchListDescription.hpp"
#include "PRQLogger/Filters/TextSequence.hpp"
#include "PRQLogger/Misc/Creation.hpp"

#include <memory>
#include <string>
#include <vector>

namespace prq {

// Drops log events by what their user information holds under one key: a text, or a list or set
// of texts, matches when one of them is among the filter's items (exact, case-sensitive). In
// exclude mode matching events are dropped; in include-only mode (`inverse`) all others are.
// The logger's own messages pass an exclude-mode filter and are dropped by an include-only one,
// unless `applyFilterToInternalMessages` tests them like any other event.
//
// No lock is taken: change the items and flags only while no logging runs through the filter.
class UserInfoFilter : public FilterProtocol {
public:
    UserInfoFilter(CreationKey key, bool inverse, const TextSequence& items);

    // Keeps only events that match one of the items.
    static std::shared_ptr<UserInfoFilter> includeFrom(const TextSequence& items);
    // Drops events that match one of the items.
    static std::shared_ptr<UserInfoFilter> excludeFrom(const TextSequence& items);
    // Sets the mode and adds the items through the overridable operations.
    void didCreate(CreationKey);

    virtual const std::string& userInfoKey() const;
    virtual void setUserInfoKey(std::string key);
    virtual bool applyFilterToInternalMessages() const;
    virtual void setApplyFilterToInternalMessages(bool apply);
    virtual bool inverse() const;
    virtual void setInverse(bool inverse);

    // True when the item was not there before.
    virtual bool add(const std::string& item);
    virtual void add(const TextSequence& items);
    virtual void clear();

    bool shouldExclude(LogDetails& logDetails, std::string& message) override;
    std::string debugDescription() const override;

protected:
    // For filters of a fixed key.
    UserInfoFilter(CreationKey key, bool inverse, const TextSequence& items, std::string userInfoKey);

    virtual const MatchSet& itemsToMatch() const;
    virtual void setItemsToMatch(MatchSet items);

private:
    bool matches(const UserInfo& userInfo) const;

    std::string userInfoKey_;
    bool applyFilterToInternalMessages_ = false;
    bool inverse_ = false;
    MatchSet itemsToMatch_;
    // What `didCreate` sets up.
    bool createdInverse_;
    std::vector<std::string> createdItems_;
};

}  // namespace prq
