#pragma once

#include <string>
#include <vector>

namespace platform::network {

// A network interface as a stack of layers, the outermost last: PPP over L2TP over IPv4 is
// {"IPv4", "L2TP", "PPP"}.
struct NetworkInterface {
    std::vector<std::string> layers;

    static NetworkInterface ipv4() { return {{"IPv4"}}; }
    // A new interface of `type` layered over `inner`.
    static NetworkInterface createWithInterface(const NetworkInterface& inner, const std::string& type) {
        NetworkInterface layered = inner;
        layered.layers.push_back(type);
        return layered;
    }
    const std::string& type() const { return layers.back(); }
};

}  // namespace platform::network
