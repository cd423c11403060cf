#include "BackgroundProcess.hpp"
#include "XvfbSession.hpp"

#include "platform/dispatch/Timer.hpp"
#include "platform/display/StatusNotifierTray.hpp"
#include "platform/render/ResourceImages.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"
#include "platform/ui/View.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/desktop/PrivateSessionBus.hpp"

#include <X11/Xatom.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <filesystem>

using corvantis::testbed::PrivateSessionBus;
using corvantis::testing::ScopedEnvironment;
using corvantis::testing::TemporaryFolder;
using corvantis::testing::XvfbSession;
using platform::display::StatusNotifierTray;
using platform::display::Tray;
using platform::ui::Application;
using platform::ui::Event;
using platform::ui::Rect;
using UiWindow = platform::ui::Window;

namespace {

// What the application's popup controller does with the item's clicks, reduced to what the tray
// must make possible: a left press on the item opens a window under the item's rectangle, a
// right release pops up the one-item "Quit" menu.
class ItemClicks {
public:
    ItemClicks() {
        item = platform::ui::StatusBar::system().statusItem(22);
        auto image = platform::ui::Image::make({22, 22});
        image->fill({0, 0, 22, 22}, platform::ui::Color::sRGB(1, 0, 0, 1), platform::ui::CompositingOperation::copy);
        item->setImage(image);
        popup = std::make_shared<UiWindow>(Rect(0, 0, 200, 100), platform::ui::WindowStyleMask::borderless);
        popup->setContentView(std::make_shared<platform::ui::View>());
        auto& application = Application::shared();
        application.addLocalMonitorForEvents(platform::ui::EventMask::leftMouseDown,
                                             [this](const Event& event) -> std::optional<Event> {
                                                 if (event.window() != item->window()) return event;
                                                 const Rect icon = item->window()->frame();
                                                 popup->setFrame({icon.midX() - 100, icon.minY() - 100, 200, 100});
                                                 popup->orderFront();
                                                 return event;
                                             });
        application.addLocalMonitorForEvents(platform::ui::EventMask::rightMouseUp,
                                             [this](const Event& event) -> std::optional<Event> {
                                                 platform::ui::Menu menu;
                                                 menu.addItem("Quit", "quit:", "");
                                                 menuShown = true;
                                                 menu.popUp(nullptr, {0, 0}, nullptr);
                                                 return event;
                                             });
    }

    std::shared_ptr<platform::ui::StatusItem> item;
    std::shared_ptr<UiWindow> popup;
    bool menuShown = false;
};

// ---- StatusNotifierItem

// The panel's side: owns org.kde.StatusNotifierWatcher and notes who registers.
class TestWatcher {
public:
    explicit TestWatcher(const std::string& address) {
        sd_bus_new(&bus_);
        sd_bus_set_address(bus_, address.c_str());
        sd_bus_set_bus_client(bus_, 1);
        if (sd_bus_start(bus_) < 0) throw std::runtime_error("watcher cannot connect");
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("RegisterStatusNotifierItem", "s", "", registerItem, 0),
            SD_BUS_VTABLE_END,
        };
        sd_bus_add_object_vtable(bus_, nullptr, "/StatusNotifierWatcher", StatusNotifierTray::watcherName, vtable, this);
        sd_bus_match_signal(bus_, nullptr, nullptr, StatusNotifierTray::objectPath, StatusNotifierTray::interfaceName, "NewIcon",
                            newIcon, this);
        own();
    }
    ~TestWatcher() { sd_bus_flush_close_unref(bus_); }

    void own() { sd_bus_request_name(bus_, StatusNotifierTray::watcherName, 0); }
    void disown() { sd_bus_release_name(bus_, StatusNotifierTray::watcherName); }
    void process() {
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
    }

    // Calls `method` on the item without waiting (the item answers on the test's own main queue).
    void call(const std::string& method, int x, int y) {
        sd_bus_call_method_async(bus_, nullptr, registered.c_str(), StatusNotifierTray::objectPath,
                                 StatusNotifierTray::interfaceName, method.c_str(), nullptr, nullptr, "ii", x, y);
    }
    // Asks for a property; `answer` holds the reply once it came.
    void getProperty(const std::string& name, sd_bus_message** answer) {
        sd_bus_call_method_async(bus_, nullptr, registered.c_str(), StatusNotifierTray::objectPath,
                                 "org.freedesktop.DBus.Properties", "Get", gotReply, answer, "ss",
                                 StatusNotifierTray::interfaceName, name.c_str());
    }

    std::string registered;
    int registrations = 0;
    int newIcons = 0;

private:
    static int registerItem(sd_bus_message* message, void* userdata, sd_bus_error*) {
        auto& watcher = *static_cast<TestWatcher*>(userdata);
        const char* name = nullptr;
        sd_bus_message_read(message, "s", &name);
        watcher.registered = name;
        ++watcher.registrations;
        return sd_bus_reply_method_return(message, "");
    }
    static int newIcon(sd_bus_message*, void* userdata, sd_bus_error*) {
        ++static_cast<TestWatcher*>(userdata)->newIcons;
        return 0;
    }
    static int gotReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
        *static_cast<sd_bus_message**>(userdata) = sd_bus_message_ref(reply);
        return 0;
    }

    sd_bus* bus_ = nullptr;
};

class StatusNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
        if (!corvantis::testing::programExists("dbus-daemon"))
            GTEST_SKIP() << "dbus-daemon is not installed (scripts/setup installs it)";
        bus = std::make_unique<PrivateSessionBus>(busFolder.path());
        if (bus->address().empty()) throw std::runtime_error("dbus-daemon did not start: " + bus->output());
        busVariable = std::make_unique<ScopedEnvironment>("DBUS_SESSION_BUS_ADDRESS", bus->address());
        trayVariable = std::make_unique<ScopedEnvironment>("CORVANTIS_TRAY", std::nullopt);
        watcher = std::make_unique<TestWatcher>(bus->address());
        session = std::make_unique<XvfbSession>();
        clicks = std::make_unique<ItemClicks>();
    }
    void TearDown() override {
        clicks.reset();
        session.reset();
    }

    bool pumpUntil(const std::function<bool()>& done) {
        return session->pumpUntil([&] {
            watcher->process();
            return done();
        });
    }

    std::string stringProperty(const std::string& name) {
        sd_bus_message* answer = nullptr;
        watcher->getProperty(name, &answer);
        if (!pumpUntil([&] { return answer != nullptr; })) return {};
        const char* value = nullptr;
        sd_bus_message_enter_container(answer, 'v', "s");
        sd_bus_message_read(answer, "s", &value);
        std::string text = value != nullptr ? value : "";
        sd_bus_message_unref(answer);
        return text;
    }

    TemporaryFolder busFolder;
    std::unique_ptr<PrivateSessionBus> bus;
    std::unique_ptr<ScopedEnvironment> busVariable;
    std::unique_ptr<ScopedEnvironment> trayVariable;
    std::unique_ptr<TestWatcher> watcher;
    std::unique_ptr<XvfbSession> session;
    std::unique_ptr<ItemClicks> clicks;
};

TEST_F(StatusNotifierTest, RegistersServesItsIconAndTurnsActivationIntoClicks) {
    ASSERT_EQ(session->server().tray()->kind(), Tray::Kind::statusNotifierItem);
    ASSERT_TRUE(pumpUntil([&] { return watcher->registrations == 1; }));
    EXPECT_EQ(watcher->registered.rfind("org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-", 0), 0u);
    EXPECT_EQ(stringProperty("Id"), "corvantis-vpn");
    EXPECT_EQ(stringProperty("Status"), "Active");
    // The host draws the item: no X window of ours stands for it.
    EXPECT_EQ(session->server().nativeWindow(*clicks->item->window()), nullptr);

    // The icon as a pixmap: 22 × 22, opaque red, ARGB in network order.
    sd_bus_message* answer = nullptr;
    watcher->getProperty("IconPixmap", &answer);
    ASSERT_TRUE(pumpUntil([&] { return answer != nullptr; }));
    int width = 0;
    int height = 0;
    const void* bytes = nullptr;
    std::size_t size = 0;
    sd_bus_message_enter_container(answer, 'v', "a(iiay)");
    sd_bus_message_enter_container(answer, 'a', "(iiay)");
    sd_bus_message_enter_container(answer, 'r', "iiay");
    sd_bus_message_read(answer, "ii", &width, &height);
    sd_bus_message_read_array(answer, 'y', &bytes, &size);
    EXPECT_EQ(width, 22);
    EXPECT_EQ(height, 22);
    ASSERT_EQ(size, 22u * 22u * 4u);
    const auto* argb = static_cast<const std::uint8_t*>(bytes);
    EXPECT_EQ((std::vector<int>{argb[0], argb[1], argb[2], argb[3]}), (std::vector<int>{255, 255, 0, 0}));
    sd_bus_message_unref(answer);

    // A new image says NewIcon.
    const int iconsBefore = watcher->newIcons;
    clicks->item->setImage(platform::ui::Image::make({22, 22}));
    EXPECT_TRUE(pumpUntil([&] { return watcher->newIcons == iconsBefore + 1; }));

    // Activate at (600, 11) on a top panel: the popup opens under the item, centred on x 600.
    watcher->call("Activate", 600, 11);
    ASSERT_TRUE(pumpUntil([&] { return clicks->popup->isVisible(); }));
    EXPECT_EQ(clicks->item->window()->frame().midX(), 600);
    EXPECT_EQ(clicks->popup->frame().midX(), 600);
    EXPECT_EQ(clicks->popup->frame().maxY(), clicks->item->window()->frame().minY());

    // ContextMenu pops up "Quit"; Escape dismisses it.
    std::vector<std::string> titles;
    const auto dismiss =
        platform::dispatch::Timer::scheduledTimer(std::chrono::milliseconds(50), true, [&](platform::dispatch::Timer& timer) {
            for (const auto& window : Application::shared().windows()) {
                if (window->level() != platform::ui::WindowLevel::popUpMenu) continue;
                for (const auto& view : window->contentView()->subviews()) {
                    if (const auto row = std::dynamic_pointer_cast<platform::ui::Button>(view)) titles.push_back(row->title());
                }
                timer.invalidate();
                window->cancelOperation(nullptr);
            }
        });
    watcher->call("ContextMenu", 600, 11);
    EXPECT_TRUE(pumpUntil([&] { return clicks->menuShown && !dismiss->isValid(); }));
    EXPECT_EQ(titles, std::vector<std::string>{"Quit"});
    dismiss->invalidate();

    // A watcher that starts again hears from the item again.
    watcher->disown();
    watcher->process();
    watcher->own();
    EXPECT_TRUE(pumpUntil([&] { return watcher->registrations == 2; }));
}

TEST_F(StatusNotifierTest, OnceRegisteredTheItemStandsAtTheEndOfTheHostsPanelAndNamesItsIconForHostsThatLookItUp) {
    // The desktop's panel is 24 px at the bottom: the work area leaves it out, as a window manager says.
    auto& connection = session->server().connection();
    const long area[4] = {0, 0, 1280, 800 - 24};
    XChangeProperty(connection.display(), connection.root(), connection.atom("_NET_WORKAREA"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(area), 4);
    XSync(connection.display(), False);
    platform::render::ResourceImages::install(1);
    clicks->item->setImage(platform::ui::Image::named("StatusBarIconInactive"));
    EXPECT_FALSE(clicks->item->isPlaced()) << "no host has shown the item yet";

    // The host registers the item; before anyone clicks it, it stands at the panel's right end.
    ASSERT_TRUE(pumpUntil([&] { return watcher->registrations == 1 && clicks->item->isPlaced(); }));
    const Rect placed = clicks->item->window()->frame();
    EXPECT_EQ(placed.maxY(), 24) << "the item spans the panel at the bottom of the screen";
    EXPECT_GT(placed.midX(), 1280 - 22);
    EXPECT_LE(placed.maxX(), 1280 + 11);

    // Its icon by name, from the application's images, for hosts that draw it themselves.
    EXPECT_EQ(stringProperty("IconName"), "StatusBarIconInactive");
    const std::filesystem::path folder = stringProperty("IconThemePath");
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "StatusBarIconInactive.svg")) << folder;
}

}  // namespace

namespace {

// ---- XEmbed

// The least a system tray does: owns the screen's tray selection, and docks what asks by
// reparenting it into its own window (at the top-left of the screen here) and mapping it.
class TestTrayManager {
public:
    static constexpr int left = 100;

    TestTrayManager(const std::string& displayName, unsigned long colour) : display_(XOpenDisplay(displayName.c_str())) {
        const ::Window root = DefaultRootWindow(display_);
        XSetWindowAttributes attributes{};
        attributes.override_redirect = True;
        attributes.background_pixel = colour;
        panel_ = XCreateWindow(display_, root, left, 0, 200, 24, 0, CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWBackPixel, &attributes);
        XMapWindow(display_, panel_);
        XSetSelectionOwner(display_, XInternAtom(display_, "_NET_SYSTEM_TRAY_S0", False), panel_, CurrentTime);
        XSync(display_, False);
    }
    ~TestTrayManager() { XCloseDisplay(display_); }

    void process() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == ClientMessage &&
                event.xclient.message_type == XInternAtom(display_, "_NET_SYSTEM_TRAY_OPCODE", False) &&
                event.xclient.data.l[1] == 0) {
                const auto icon = static_cast<::Window>(event.xclient.data.l[2]);
                XReparentWindow(display_, icon, panel_, 10 + 24 * docked, 1);
                XResizeWindow(display_, icon, 22, 22);
                XMapWindow(display_, icon);
                ++docked;
            }
        }
        XSync(display_, False);
    }

    int docked = 0;

private:
    Display* display_;
    ::Window panel_;
};

// On a dark panel and on a light one.
class XEmbedTrayTest : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(XEmbedTrayTest, TheIconIsEmbeddedOnThePanelsOwnBackgroundAndAClickOnItOpensThePopupUnderIt) {
    if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
    ScopedEnvironment noBus("DBUS_SESSION_BUS_ADDRESS", std::nullopt);
    ScopedEnvironment automatic("CORVANTIS_TRAY", std::nullopt);
    // The manager needs the server before the application starts, and must leave before it ends.
    struct Scene {
        std::unique_ptr<TestTrayManager> manager;
        std::optional<XvfbSession> session;
        ~Scene() { manager.reset(); }
    } scene;
    scene.session.emplace(
        [&](const std::string& displayName) { scene.manager = std::make_unique<TestTrayManager>(displayName, GetParam()); });
    auto& session = *scene.session;
    auto& manager = scene.manager;
    ASSERT_EQ(session.server().tray()->kind(), Tray::Kind::xembed);
    ItemClicks clicks;
    ASSERT_TRUE(session.pumpUntil([&] {
        manager->process();
        return manager->docked == 1 && clicks.item->window()->frame().minX() == TestTrayManager::left + 10;
    }));
    // The item's frame is where the tray put it: 11 px from the left of the panel, 1 px down.
    EXPECT_EQ(clicks.item->window()->frame(), Rect(TestTrayManager::left + 10, 800 - 23, 22, 22));
    // A round icon: the panel shows around it, not a tile of the icon's own.
    auto image = platform::ui::Image::make({22, 22});
    image->fill({6, 6, 10, 10}, platform::ui::Color::sRGB(1, 0, 0, 1), platform::ui::CompositingOperation::copy);
    clicks.item->setImage(image);
    session.settle();
    EXPECT_EQ(session.pixelAt(TestTrayManager::left + 21, 12), 0xFF0000u);
    EXPECT_EQ(session.pixelAt(TestTrayManager::left + 12, 3), GetParam()) << "the icon's corner";
    EXPECT_EQ(session.pixelAt(TestTrayManager::left + 30, 20), GetParam()) << "the icon's corner";

    session.clickAt(TestTrayManager::left + 21, 12);
    ASSERT_TRUE(session.pumpUntil([&] {
        manager->process();
        return clicks.popup->isVisible();
    }));
    EXPECT_EQ(clicks.popup->frame().midX(), TestTrayManager::left + 21);
    EXPECT_EQ(clicks.popup->frame().maxY(), 800 - 23);
}

INSTANTIATE_TEST_SUITE_P(DarkAndLightPanels, XEmbedTrayTest, ::testing::Values(0x202020u, 0xDCDAD5u));

}  // namespace
