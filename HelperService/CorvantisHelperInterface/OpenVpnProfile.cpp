#include "HelperService/CorvantisHelperInterface/OpenVpnProfile.hpp"

#include "HelperService/CorvantisHelperInterface/KeyArmour.hpp"

namespace corvantis::helper {

std::string OpenVpnProfile::render() const {
    std::string text;
    for (const auto& directive : directives) {
        text += directive.name;
        for (const auto& argument : directive.arguments) text += " " + argument;
        text += "\n";
    }
    for (const auto& block : blocks) {
        text += "<" + block.tag + ">\n";
        for (const auto& object : block.objects) text += KeyArmour::write(object);
        text += "</" + block.tag + ">\n";
    }
    return text;
}

std::vector<std::string> OpenVpnProfile::scripts() const {
    std::vector<std::string> named;
    for (const auto& directive : directives) {
        if ((directive.name == "up" || directive.name == "down") && !directive.arguments.empty()) {
            named.push_back(directive.arguments.front());
        }
    }
    return named;
}

}  // namespace corvantis::helper
