#pragma once

#include "platform/crashreporting/Dsn.hpp"
#include "platform/crashreporting/EventSink.hpp"
#include "platform/dispatch/Clock.hpp"

#include <memory>
#include <string>

namespace platform::foundation {
class URLSession;
}

namespace platform::crashreporting {

// Sends each event to the DSN's store endpoint as JSON, in the background through a URL
// session: `send` never waits for the network. At most `maximumInFlight` events travel at once;
// further ones are dropped, so a dead service costs no memory. The first failed delivery is
// written to the console, later ones are not. Safe from any thread.
class HttpEventSink final : public EventSink {
public:
    static constexpr std::size_t maximumInFlight = 100;
    // How long one delivery may stay silent before it counts as failed.
    static constexpr auto deliveryTimeout = std::chrono::seconds(10);

    HttpEventSink(Dsn dsn, std::string clientName, bool debug, std::shared_ptr<foundation::URLSession> session);
    // Cancels the deliveries still travelling.
    ~HttpEventSink() override;
    HttpEventSink(const HttpEventSink&) = delete;
    HttpEventSink& operator=(const HttpEventSink&) = delete;

    void send(Event event) override;
    bool flush(dispatch::Duration timeout) override;

private:
    struct State;

    const Dsn dsn_;
    const std::string clientName_;
    const bool debug_;
    const std::shared_ptr<foundation::URLSession> session_;
    const std::shared_ptr<State> state_;
};

}  // namespace platform::crashreporting
