#pragma once

#include "app/ApiReply.hpp"
#include "app/Server.hpp"

#include <nlohmann/json.hpp>

#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace corvantis {

// The profile reply read from its bytes in one pass. A catalogue of thousands of servers would
// otherwise become a JSON tree, then a second tree of country groups, then the records, and
// both trees would be torn down again; here the servers go straight into the country groups
// of records, and only the rest of the reply becomes JSON values.
struct ProfileReply {
    using Servers = std::vector<std::shared_ptr<Server>>;

    // The reply as the general reader makes it, less "vpn_servers" in "data" when that is an array.
    nlohmann::json json;
    // The country groups of that array, exactly as `CountryGroups::fromServers` followed by
    // `Server::modelsFromDictionaryArray` would build them; none when it was left in `json`.
    std::optional<Servers> servers;

    // None when the bytes are not a JSON object, or hold something this reading does not vouch
    // to read as the general reader does (a server nesting deeper than it allows or holding an
    // integer beyond 64 bits, a byte-order mark): such a body goes to the general reader, which
    // decides. None as well when the records and values would take more than the general
    // reader's memory budget for the body, which that reader then finds too.
    static std::optional<ProfileReply> read(std::string_view body);

    // The transport's reader for the profile request: hands on `json` and leaves `servers` in
    // `into`, which the request's completion takes (the transport's hop to the main queue
    // orders the two).
    static ApiReply::BodyReader readerKeepingServers(std::shared_ptr<std::optional<Servers>> into);
};

}  // namespace corvantis
