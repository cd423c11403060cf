#include "app/PublicIPRequest.hpp"

#include "platform/foundation/JSONSerialization.hpp"

#include <arpa/inet.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

namespace corvantis {

using platform::foundation::Error;

std::shared_ptr<platform::foundation::URLSessionDataTask> PublicIPRequest::get(std::string url, Completion completion) {
    platform::foundation::URLRequest request;
    request.url = std::move(url);
    request.timeoutInterval = connectTimeout;
    request.timeoutIntervalForResource = totalTimeout;
    request.maximumResponseSize = maximumReplySize;
    request.setValue("application/json", "Accept");
    auto task = platform::foundation::URLSession::shared()->dataTask(
        std::move(request), [completion = std::move(completion)](std::optional<std::string> data,
                                                                 std::optional<platform::foundation::HTTPURLResponse> response,
                                                                 std::optional<platform::foundation::DomainError> error) {
            if (error) return completion(Error{0, error->localizedDescription});
            const int status = response ? response->statusCode : 0;
            if (status < 200 || status > 299) return completion(Error{0, "HTTP status " + std::to_string(status)});
            auto json = platform::foundation::JSONSerialization::jsonObject(data.value_or(""));
            if (!json || !json.value().is_object()) return completion(Error{0, "The reply is no JSON object"});
            completion(std::move(json).value());
        });
    task->resume();
    return task;
}

std::string PublicIPRequest::configuredUrl(const char* variable, std::string_view builtIn) {
    const char* configured = std::getenv(variable);
    return configured != nullptr && *configured != '\0' ? std::string(configured) : std::string(builtIn);
}

bool PublicIPRequest::isAddress(const std::string& text) {
    unsigned char buffer[sizeof(in6_addr)];
    return inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
}

}  // namespace corvantis
