#include "HelperService/CorvantisHelper/ResolverFileQueries.hpp"

#include <algorithm>
#include <vector>

namespace corvantis::helper::ResolverFileQueries {

namespace {

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Fields split at runs of blanks and tabs, as awk splits them by default.
std::vector<std::string_view> fieldsOf(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = line.find_first_not_of(" \t");
    while (start != std::string_view::npos) {
        const auto end = line.find_first_of(" \t", start);
        fields.push_back(line.substr(start, end - start));
        if (end == std::string_view::npos) break;
        start = line.find_first_not_of(" \t", end);
    }
    return fields;
}

}  // namespace

std::string nameServers(std::string_view resolverFile) {
    std::string servers;
    for (const auto line : linesOf(resolverFile)) {
        const auto fields = fieldsOf(line);
        if (fields.size() >= 2 && fields[0] == "nameserver") servers.append(fields[1]).push_back('\n');
    }
    return servers;
}

std::string nameServers(std::string_view resolverFile, std::string_view stubUpstreams, const std::vector<std::string>& excluded) {
    std::vector<std::string> servers;
    const auto add = [&](std::string_view text) {
        const auto listed = nameServers(text);
        for (const auto line : linesOf(listed)) {
            std::string server(line);
            if (server.empty() || std::find(servers.begin(), servers.end(), server) != servers.end()) continue;
            if (std::find(excluded.begin(), excluded.end(), server) == excluded.end()) servers.push_back(std::move(server));
        }
    };
    add(resolverFile);
    if (std::any_of(servers.begin(), servers.end(),
                    [](const std::string& server) { return server.starts_with("127.") || server == "::1"; })) {
        add(stubUpstreams);
    }
    std::string listed;
    for (const auto& server : servers) listed += server + "\n";
    return listed;
}

std::string secondFields(std::string_view resolverFile) {
    std::string output;
    for (const auto line : linesOf(resolverFile)) {
        if (line.find('#') != std::string_view::npos) continue;
        const auto fields = fieldsOf(line);
        if (fields.size() >= 2) output.append(fields[1]);
        output.push_back('\n');
    }
    return output;
}

}  // namespace corvantis::helper::ResolverFileQueries
