#include "platform/foundation/URLSession.hpp"

#include "platform/Services.hpp"

namespace platform::foundation {

std::shared_ptr<URLSessionDataTask> URLSession::dataTask(URLRequest request, std::shared_ptr<URLSessionDataDelegate> delegate) {
    const auto bodySize = static_cast<long long>(request.httpBody ? request.httpBody->size() : 0);
    return dataTask(std::move(request), [delegate = std::move(delegate), bodySize](std::optional<std::string> data,
                                                                                   std::optional<HTTPURLResponse> response,
                                                                                   std::optional<DomainError> error) {
        if (bodySize > 0 && (response || data)) delegate->didSendBodyData(bodySize, bodySize, bodySize);
        if (response) delegate->didReceiveResponse(*response);
        if (data && !data->empty()) delegate->didReceiveData(std::move(*data));
        delegate->didCompleteWithError(std::move(error));
    });
}

std::shared_ptr<URLSession> URLSession::shared() {
    return Services::current().urlSession();
}

}  // namespace platform::foundation
