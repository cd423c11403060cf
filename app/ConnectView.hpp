#pragma once

#include "app/ConnectButton.hpp"
#include "app/ConnectionAttempt.hpp"
#include "app/ConnectionState.hpp"
#include "app/LocationButton.hpp"
#include "platform/animation/AnimationView.hpp"
#include "platform/animation/Composition.hpp"
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "platform/network/VPNManager.hpp"
#include "platform/network/VPNProtocolIKEv2.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

// Milliseconds since 1970 of a calendar time, rounded half away from zero.
std::int64_t millisecondsSince1970(platform::dispatch::WallTime date);

// The popup's connect screen, which also drives the process's one VPN connection: the state,
// what a click does in each state, starting and ending tunnels, confirming a tunnel by the
// computer's public address, retries, the time-out and the duration. The state and its facts are
// one `ConnectionAttempt`, changed by the click, the probe's and the helper's answers, the
// address checks, a cancel and the time-out; the displays are drawn from it. Main queue only,
// except the public-address lookups (see `checkConnectionState`).
class ConnectView : public platform::ui::View {
    // The connection attempt: the state and its facts live there alone. Declared first, as
    // `connectionState` refers to it.
    ConnectionAttempt attempt_;

public:
    // The attempt's state as a property: reading it reads the attempt's, writing it is the direct
    // change that the time-out and the delayed reconnect make.
    class StateProperty {
    public:
        explicit StateProperty(ConnectionAttempt& attempt) : attempt_(attempt) {}
        StateProperty(const StateProperty&) = delete;
        StateProperty& operator=(const StateProperty&) = delete;
        operator ConnectionState() const { return attempt_.state(); }
        StateProperty& operator=(ConnectionState state) {
            attempt_.setState(state);
            return *this;
        }

    private:
        ConnectionAttempt& attempt_;
    };

    explicit ConnectView(platform::ui::Rect frame = {});

    // The last public-address lookup got an address. Written by the lookups' threads.
    std::atomic<bool> internetActive{true};
    // The tunnel's state; only this screen changes it.
    StateProperty connectionState{attempt_};
    // The chosen host as recorded when the connected look was drawn, a reply arrived, a
    // connection was cancelled or timed out; `disconnect` compares it with the chosen host.
    std::optional<std::string> connectedHostname;
    // Checks made in this connection attempt.
    int timeoutValue = 0;
    // Counts the connection's seconds while connected.
    std::shared_ptr<platform::dispatch::Timer> durationTimer;
    // Where the location button rests, recorded by the first `alignLocationLabel`.
    std::optional<double> locationButtonOriginY;

    // Outlets, connected by the storyboard scene and present from then on.
    std::shared_ptr<platform::ui::View> viewContainer;
    std::shared_ptr<ConnectButton> btnConnect;
    std::shared_ptr<platform::ui::TextField> lblLocation;
    std::shared_ptr<LocationButton> btnLocation;
    std::shared_ptr<platform::ui::ImageView> imgLocationIcon;
    std::shared_ptr<platform::ui::ImageView> imgLocationArrow;
    std::shared_ptr<platform::ui::TextField> lblConnectTo;
    std::shared_ptr<platform::ui::TextField> lblDuration;

    const std::shared_ptr<const platform::animation::Composition> disconnectedAnimationSceneModel;
    const std::shared_ptr<const platform::animation::Composition> connectingAnimationSceneModel;
    const std::shared_ptr<const platform::animation::Composition> connectedAnimationSceneModel;
    // The animation behind the connect button, made by `commonInit`.
    std::shared_ptr<platform::animation::AnimationView> animationView;
    // Local time of the last connect click, "yyyy-MM-dd h:mm:ss".
    std::optional<std::string> connectingTime = std::string();
    const std::shared_ptr<platform::network::VPNManager> manager;
    const std::shared_ptr<platform::network::VPNProtocolIKEv2> protocolIKEv2;

    // ---- The screen
    void viewDidMoveToSuperview() override;
    // Watches reachability, makes the animation view and connects at start when asked to.
    virtual void commonInit();
    virtual void show();
    virtual void hide();
    virtual void playAnimation();
    // Fits the location pill to the city's name and centres it.
    virtual void alignLocationLabel();
    void btnLocationClick(platform::ui::Object* sender);
    void btnSettingsClick(platform::ui::Object* sender);

    // ---- The connection
    void btnConnectClick(platform::ui::Object* sender);
    // Looks the public address up and acts on it; every reachability change and retry runs it.
    void checkConnectionState();
    // A lookup's address (none: no address), from the lookup's thread.
    void connectionChanged(const std::optional<std::string>& ip);
    // Counts an unconfirmed check; true once the attempt is given up.
    bool timedOut();
    void startConnection();
    void startIkev2Connection();
    void disconnect();

    // ---- The displays
    void showConnectedButton();
    void showDisconnectedButton();
    void showConnectingButton();
    void durationChange();
    // "hh:mm:ss" for a number of seconds; the hours take as many digits as they need.
    static std::string timeFormatted(long long seconds);

    // The most checks an attempt makes before it is given up.
    static constexpr int maximumChecks = 40;

private:
    // A connect click from the disconnected state begins an attempt; anything that ends the
    // tunnel ends it, so that what still answers for it (its probe, its helper's reply, a delayed
    // start or reconnect) changes nothing.
    void beginAttempt();
    void endAttempt();
    // Ends the attempt by the time-out when it is still connecting at its deadline.
    void armDeadline();
    void deadlinePassed(ConnectionAttempt::Number attempt);
    // The give-up of the time-out: the alert, the report and the disconnect.
    void giveUp();
    // Draws the display that the attempt calls for: after the events that change it (a reply, a
    // confirmation) and whenever the screen is shown.
    void render();
    // The connected display's work for a freshly reported or confirmed tunnel, once per attempt.
    void runConnectedDisplay();
    // The connected look alone, which can be drawn again whenever the screen is shown.
    void drawConnectedLook();

    // A lookup whose answer still counts: the newest one, not cancelled.
    bool isCurrentLookup(const platform::dispatch::WorkItemPtr& item) const;
    // Runs a new lookup in the one slot, cancelling the pending one unless that is a click's
    // probe: only the user ends a probe (a click or a disconnect), never a check.
    platform::dispatch::WorkItemPtr startLookup(std::function<void(platform::dispatch::WorkItemPtr)> lookup);
    // The click's probe of the internet: its success starts the tunnel unless the user ended
    // the attempt since.
    void probeInternet();
    // The next check of the cycle `delay` from now, in place of one already due.
    void scheduleCheck(platform::dispatch::Duration delay);
    void handleLookupFailure();
    // A lookup's address: counts only while `item` is the current lookup (always when null).
    void connectionChanged(const std::optional<std::string>& ip, const platform::dispatch::WorkItemPtr& item);
    void addressArrived(const std::optional<std::string>& ip);
    // Starts a tunnel later unless a click or a disconnect comes first.
    void startConnectionUnlessCancelled(ConnectionAttempt::Number attempt);
    // The helper's answer to the attempt `attempt`'s start, with the tunnel's gateway it named.
    void tunnelAnswered(ConnectionAttempt::Number attempt, bool up, std::optional<std::string> gateway,
                        const std::string& failure);
    // Ends the tunnel and connects to the chosen server 3 s later, unless the user acts first.
    void reconnectToChosenServer();
    // The tunnel's own route, once the helper has named this attempt's tunnel gateway.
    void addTunnelRoute() const;
    void moveLocationButtonBack();
    void showAnimation(const std::shared_ptr<const platform::animation::Composition>& scene);
    void info(const std::string& message, std::string_view function,
              std::source_location where = std::source_location::current()) const;
    void error(const std::string& message, std::string_view function,
               std::source_location where = std::source_location::current()) const;
    std::weak_ptr<ConnectView> weakSelf();

    platform::dispatch::WorkItemPtr workItem;
    // The click's probe while it has not answered.
    platform::dispatch::WorkItemPtr probe_;
    // The check cycle's next step while one is due: one at a time, so an attempt makes at most
    // `maximumChecks` checks in the time they take.
    platform::dispatch::WorkItemPtr nextCheck_;
    // The time-out at the attempt's deadline while one is due.
    platform::dispatch::WorkItemPtr deadline_;
};

}  // namespace corvantis
