#include "XvfbSession.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Panel.hpp"
#include "platform/ui/ScrollView.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"
#include "platform/ui/TableColumn.hpp"
#include "platform/ui/TableView.hpp"
#include "platform/ui/TableViewDataSource.hpp"
#include "platform/ui/TableViewDelegate.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/WindowLevel.hpp"

using corvantis::testing::XvfbSession;
using platform::ui::Application;
using platform::ui::Color;
using platform::ui::Event;
using platform::ui::Rect;
using platform::ui::View;
using platform::ui::EventMask::leftMouseDown;
using UiWindow = platform::ui::Window;

namespace {

constexpr std::uint32_t panelColour = 0x2060C0;

// A popup like the application's: a borderless panel of pop-up-menu level under the status item;
// Escape gives up the keys and fades it to nothing, and it stays on screen, transparent.
class PopupPanel final : public platform::ui::Panel {
public:
    PopupPanel() : Panel(Rect(0, 0, 300, 200), platform::ui::WindowStyleMask::nonactivatingPanel) {
        setLevel(platform::ui::WindowLevel::popUpMenu);
        setOpaque(false);
        setBackgroundColor(Color::clear());
        setHidesOnDeactivate(false);
    }
    static std::shared_ptr<PopupPanel> make() {
        auto panel = std::make_shared<PopupPanel>();
        auto body = std::make_shared<View>();
        body->setWantsLayer(true);
        body->layer()->backgroundColor = Color::sRGB(0x20 / 255.0, 0x60 / 255.0, 0xC0 / 255.0, 1);
        panel->setContentView(body);
        return panel;
    }
    bool canBecomeKey() const override { return true; }
    void cancelOperation(platform::ui::Object*) override {
        resignKey();
        setAlphaValue(0);
    }
};

class WindowDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
        session = std::make_unique<XvfbSession>();
    }

    // Claims the compositing manager's selection, so that the popup is drawn with alpha and stays
    // mapped while transparent (no real compositor blends it, which the test does not need).
    void pretendCompositorRuns() {
        auto& connection = session->server().connection();
        Display* display = connection.display();
        compositor = XCreateSimpleWindow(display, connection.root(), -10, -10, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display, connection.atom("_NET_WM_CM_S0"), compositor, CurrentTime);
        ASSERT_TRUE(connection.compositorRuns());
    }

    std::optional<unsigned long> opacityOf(::Window window) {
        auto& connection = session->server().connection();
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(connection.display(), window, connection.atom("_NET_WM_WINDOW_OPACITY"), 0, 1, False, AnyPropertyType,
                           &type, &format, &count, &remaining, &data);
        std::optional<unsigned long> opacity;
        if (data != nullptr && count == 1) opacity = *reinterpret_cast<unsigned long*>(data);
        if (data != nullptr) XFree(data);
        return opacity;
    }

    std::unique_ptr<XvfbSession> session;
    ::Window compositor = 0;
};

class PopupTest : public WindowDisplayTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PopupTest, OpensUnderTheStatusItemAndEscapeLetsClicksThrough) {
    if (GetParam()) pretendCompositorRuns();
    // A window below, with a button where the popup will hang.
    int clicks = 0;
    const auto below = std::make_shared<UiWindow>(Rect(900, 300, 380, 400));
    below->setContentView(std::make_shared<View>());
    const auto button = std::make_shared<platform::ui::Button>(Rect(0, 0, 380, 400));
    button->setTitle("Below");
    const auto counter = std::make_shared<platform::ui::Responder>();
    counter->setActionHandler("count:", [&](platform::ui::Object*) { ++clicks; });
    button->setTarget(counter);
    button->setAction("count:");
    below->contentView()->addSubview(button);
    below->orderFront();

    // In the strip (no tray runs here) the item sits in the top-right corner.
    const auto item = platform::ui::StatusBar::system().statusItem(22);
    const auto panel = PopupPanel::make();
    Application::shared().addLocalMonitorForEvents(leftMouseDown, [&](const Event& event) -> std::optional<Event> {
        if (event.window() == item->window()) {
            const Rect icon = item->window()->frame();
            panel->setFrame({icon.midX() - 150, icon.minY() - 200, 300, 200});
            panel->setAlphaValue(1);
            panel->makeKeyAndOrderFront();
        }
        return event;
    });
    session->settle();
    EXPECT_EQ(session->server().tray()->kind(), platform::display::Tray::Kind::strip);

    const Rect icon = item->window()->frame();
    EXPECT_EQ(icon, Rect(1280 - 22, 800 - 22, 22, 22));
    session->clickAt(1280 - 11, 11);
    ASSERT_TRUE(session->pumpUntil([&] { return panel->isKeyWindow(); }));
    session->settle();
    // The panel hangs from the item's bottom edge, centred under it as far as the screen allows.
    EXPECT_EQ(session->pixelAt(1280 - 11 - 100, 22 + 5), panelColour);
    EXPECT_NE(session->pixelAt(1280 - 11 - 100, 22 + 205), panelColour);

    session->xdotool({"key", "Escape"});
    ASSERT_TRUE(session->pumpUntil([&] { return panel->alphaValue() == 0; }));
    session->settle();
    if (!GetParam()) {
        EXPECT_NE(session->pixelAt(1280 - 11 - 100, 22 + 5), panelColour);
    }
    const auto native = session->server().nativeWindow(*panel);
    ASSERT_NE(native, nullptr);
    // With a compositor the transparent panel stays mapped and only its input shape is empty.
    EXPECT_EQ(native->isMapped(), GetParam());
    EXPECT_EQ(native->hasAlpha(), GetParam());
    if (GetParam()) {
        // The compositor is told to show it at opacity 0 once the fade has ended.
        ASSERT_TRUE(session->pumpUntil([&] { return opacityOf(native->id()) == 0; }));
    }
    session->clickAt(1280 - 11 - 100, 22 + 150);
    EXPECT_TRUE(session->pumpUntil([&] { return clicks == 1; })) << "the click did not reach the window below";
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutCompositor, PopupTest, ::testing::Values(false, true));

class Rows final : public platform::ui::TableViewDataSource, public platform::ui::TableViewDelegate {
public:
    int numberOfRows(platform::ui::TableView&) override { return 500; }
    std::shared_ptr<View> tableView(platform::ui::TableView&, platform::ui::TableColumn*, int) override {
        return std::make_shared<View>();
    }
};

TEST_F(WindowDisplayTest, TheWheelScrollsALongTable) {
    const auto window = std::make_shared<UiWindow>(Rect(100, 300, 300, 400));
    window->setContentView(std::make_shared<View>());
    const auto scroll = std::make_shared<platform::ui::ScrollView>(Rect(0, 0, 300, 400));
    const auto table = std::make_shared<platform::ui::TableView>(Rect(0, 0, 300, 400));
    const auto rows = std::make_shared<Rows>();
    table->addTableColumn(std::make_shared<platform::ui::TableColumn>("city", 300));
    table->setRowHeight(40);
    table->setDataSource(rows);
    table->setDelegate(rows);
    table->reloadData();
    scroll->setDocumentView(table);
    window->contentView()->addSubview(scroll);
    window->makeKeyAndOrderFront();
    session->settle();

    session->xdotool({"mousemove", "--sync", "250", "300", "click", "--repeat", "4", "5"});
    ASSERT_TRUE(session->pumpUntil([&] { return scroll->scrollOffset() > 0; }));
    const double scrolled = scroll->scrollOffset();
    // The row under the pointer is a later one now.
    const platform::ui::Point pointer{150, 100};
    EXPECT_EQ(table->row(table->convertFrom(pointer, nullptr)), static_cast<int>((300 + scrolled) / 40));
    // Back up past the top stops at the top.
    session->xdotool({"click", "--repeat", "20", "4"});
    EXPECT_TRUE(session->pumpUntil([&] { return scroll->scrollOffset() == 0; }));
}

// A window shown under load waits for its picture: the X window is mapped with it, never as an
// empty (black) box before it.
TEST_F(WindowDisplayTest, AWindowIsMappedOnlyWithItsFirstPicture) {
    const auto window = std::make_shared<UiWindow>(Rect(100, 300, 300, 400));
    auto body = std::make_shared<View>();
    body->setWantsLayer(true);
    body->layer()->backgroundColor = Color::sRGB(0x20 / 255.0, 0x60 / 255.0, 0xC0 / 255.0, 1);
    window->setContentView(body);
    session->settle();
    window->orderFront();
    // Shown at the next sync, which draws its picture before it maps it: the first thing the
    // screen shows of it is that picture, never an empty box.
    session->server().sync();
    const auto native = session->server().nativeWindow(*window);
    ASSERT_NE(native, nullptr);
    XWindowAttributes attributes{};
    XGetWindowAttributes(session->server().connection().display(), native->id(), &attributes);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_TRUE(native->isMapped());
    EXPECT_EQ(session->pixelAt(250, 300), panelColour) << "mapped with its picture";
}

}  // namespace
