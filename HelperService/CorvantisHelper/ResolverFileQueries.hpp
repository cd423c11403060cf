#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvantis::helper {

// The two resolver queries the application sends, answered from the resolver file's content
// with the output the macOS pipelines give.
namespace ResolverFileQueries {

// The name servers, one per line (what "scutil --dns | grep 'nameserver' | awk '{print $3}'"
// lists).
std::string nameServers(std::string_view resolverFile);
// The same, with the servers a local stub resolver (a loopback name server) forwards to after
// the file's own, as the macOS list names every resolver the system asks, and without those in
// `excluded`.
std::string nameServers(std::string_view resolverFile, std::string_view stubUpstreams, const std::vector<std::string>& excluded);

// For every line without '#', its second blank-separated field or nothing, then a line break
// (what "grep -v '#' < /etc/resolv.conf | awk {'print $2'}" prints).
std::string secondFields(std::string_view resolverFile);

}  // namespace ResolverFileQueries

}  // namespace corvantis::helper
