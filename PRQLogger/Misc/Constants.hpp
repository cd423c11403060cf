#pragma once

#include "PRQLogger/Misc/AnyValue.hpp"

#include <string_view>

namespace prq {

// The logging component's fixed identifiers, keys and version. Every identifier and key is the
// base identifier followed directly by its own suffix.
struct Constants {
    static constexpr std::string_view baseIdentifier = "com.amberfieldworks.prqlogger";
    static constexpr std::string_view defaultInstanceIdentifier = "com.amberfieldworks.prqlogger.defaultInstance";
    static constexpr std::string_view baseConsoleDestinationIdentifier = "com.amberfieldworks.prqlogger.logdestination.console";
    // Reserved for a destination that writes to the system log.
    static constexpr std::string_view systemLogDestinationIdentifier =
        "com.amberfieldworks.prqlogger.logdestination.console.nslog";
    static constexpr std::string_view fileDestinationIdentifier = "com.amberfieldworks.prqlogger.logdestination.file";
    static constexpr std::string_view logQueueIdentifier = "com.amberfieldworks.prqlogger.queue";
    static constexpr std::string_view userInfoKeyTags = "com.amberfieldworks.prqlogger.tags";
    static constexpr std::string_view userInfoKeyDevs = "com.amberfieldworks.prqlogger.devs";
    static constexpr std::string_view userInfoKeyInternal = "com.amberfieldworks.prqlogger.internal";
    static constexpr std::string_view versionString = "7.0.1";
    static constexpr std::string_view extendedAttributeArchivedLogIdentifierKey = "com.amberfieldworks.prqlogger.archived.by";
    static constexpr std::string_view extendedAttributeArchivedLogTimestampKey = "com.amberfieldworks.prqlogger.archived.at";

    // The user information of the logger's own messages: the internal key mapped to true.
    static const UserInfo& internalUserInfo();
};

}  // namespace prq
