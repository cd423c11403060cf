#pragma once

#include <nlohmann/json_fwd.hpp>

#include <map>
#include <string>

namespace corvantis {

// What the crash report of a failed backend request says about it: URL, body, headers, time,
// response and parsed reply, as texts. Values that are not valid UTF-8 are kept as "".
class ApiRequestInfo {
public:
    void set(const std::string& key, const std::string& value);
    // Stores the one-line JSON text of `value`.
    void setRendering(const std::string& key, const nlohmann::json& value);
    const std::map<std::string, std::string>& values() const { return values_; }
    // The same pairs as a JSON object, the form a crash-report context takes.
    nlohmann::json context() const;

private:
    std::map<std::string, std::string> values_;
};

}  // namespace corvantis
