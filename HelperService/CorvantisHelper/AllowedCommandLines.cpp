#include "HelperService/CorvantisHelper/AllowedCommandLines.hpp"

#include "HelperService/CorvantisHelper/LogText.hpp"

namespace corvantis::helper {

namespace {
constexpr const char* twoGateways = "the line names two different gateways";
constexpr const char* unknownLine = "it is not one of the command lines the application sends";
}  // namespace

AllowedCommandLines::AllowedCommandLines(std::filesystem::path bundleResources) : bundleResources_(std::move(bundleResources)) {}

std::variant<RootCommand, CommandRefusal> AllowedCommandLines::match(std::string_view line) const {
    auto parsed = parseCommandLine(line, bundleResources_);
    if (auto* command = std::get_if<RootCommand>(&parsed)) return std::move(*command);
    const auto& mismatch = std::get<RootCommandMismatch>(parsed);
    switch (mismatch.reason) {
        case RootCommandMismatch::Reason::notAnAddress:
            return CommandRefusal{"\"" + printableForLog(mismatch.text) + "\" is not an IPv4 address",
                                  "an address in it is not an IPv4 address"};
        case RootCommandMismatch::Reason::twoValuesForOneField: return CommandRefusal{twoGateways, twoGateways};
        case RootCommandMismatch::Reason::unknownLine: break;
    }
    return CommandRefusal{unknownLine, unknownLine};
}

}  // namespace corvantis::helper
