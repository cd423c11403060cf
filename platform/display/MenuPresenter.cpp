#include "platform/display/MenuPresenter.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/display/DisplayServer.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/MenuView.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowLevel.hpp"

#include <algorithm>
#include <cmath>

namespace platform::display {

namespace {
// The menu's window: it takes the keys, and Escape dismisses it. Only the menu's body and its
// shadow are drawn.
class MenuWindow final : public ui::Window {
public:
    explicit MenuWindow(ui::Rect frame) : ui::Window(frame, ui::WindowStyleMask::borderless) {
        setLevel(ui::WindowLevel::popUpMenu);
        setOpaque(false);
        setBackgroundColor(ui::Color::clear());
    }
    bool canBecomeKey() const override { return true; }
    void cancelOperation(ui::Object*) override { dismissed = true; }

    bool dismissed = false;
    int chosen = -1;
};

// A screen point in the layer's coordinates, from a point of `view` (the screen's when none).
ui::Point screenPoint(ui::Point location, const ui::View* view) {
    if (view == nullptr || view->window() == nullptr) return location;
    const ui::Point inWindow = view->convert(location, nullptr);
    const ui::Rect frame = view->window()->frame();
    return {frame.minX() + inWindow.x, frame.minY() + inWindow.y};
}
}  // namespace

MenuPresenter::MenuPresenter(DisplayServer& server) : server_(server) {
    ui::Menu::setPopUpHandler([this](const ui::Menu::PopUp& request) { return popUp(request); });
}

MenuPresenter::~MenuPresenter() {
    ui::Menu::setPopUpHandler(nullptr);
}

std::shared_ptr<ui::MenuItem> MenuPresenter::popUp(const ui::Menu::PopUp& request) {
    const auto& items = request.menu.items();
    if (items.empty()) return nullptr;
    auto window = std::make_shared<MenuWindow>(ui::Rect{});
    const auto content = std::make_shared<ui::MenuView>(request.menu, [weak = std::weak_ptr<MenuWindow>(window)](int index) {
        if (const auto shown = weak.lock()) shown->chosen = index;
    });
    const ui::Rect body = content->body();
    const double margin = ui::MenuView::shadowMargin;

    // The body's top-left corner at the location; moved up or left where the screen ends.
    const ui::Point at = screenPoint(request.location, request.view);
    ui::Rect placed{at.x, at.y - body.height(), body.width(), body.height()};
    auto screen = ui::Screen::containing({at.x, at.y, 0, 0});
    if (!screen) screen = ui::Screen::main();
    if (screen) {
        const ui::Rect area = screen->frame();
        if (placed.minY() < area.minY()) placed.origin.y = at.y;
        if (placed.maxX() > area.maxX()) placed.origin.x = area.maxX() - body.width();
        placed.origin.x = std::max(placed.origin.x, area.minX());
    }
    window->setFrame({placed.minX() - margin, placed.minY() - margin, content->frame().width(), content->frame().height()});
    window->setContentView(content);

    auto& application = ui::Application::shared();
    const auto previousKey = application.keyWindow();
    window->makeKeyAndOrderFront();
    server_.sync();
    // A click anywhere else ends the menu: with the pointer grabbed, such clicks come to the menu's
    // window from outside its body.
    Display* display = server_.connection().display();
    const NativeWindow* native = server_.nativeWindow(*window);
    const ::Window menuId = native != nullptr ? native->id() : None;
    if (menuId != None) {
        XGrabPointer(display, menuId, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                     None, None, CurrentTime);
    }
    const double windowHeight = content->frame().height();
    const int filter = server_.addEventFilter([&](const XEvent& event) {
        if (event.type != ButtonPress || event.xbutton.window != menuId) return false;
        // X counts y downwards from the window's top.
        const bool inside = body.contains({static_cast<double>(event.xbutton.x), windowHeight - event.xbutton.y});
        if (!inside) window->dismissed = true;
        return !inside;
    });
    const auto ended = [&] { return window->dismissed || window->chosen >= 0 || application.isTerminated(); };
    const auto queue = Services::current().mainQueue();
    while (!ended()) queue->runUntil(ended, std::chrono::seconds(1));
    server_.removeEventFilter(filter);
    XUngrabPointer(display, CurrentTime);
    window->orderOut();
    if (previousKey && previousKey->isVisible()) previousKey->makeKey();
    server_.sync();
    return window->chosen >= 0 ? items[static_cast<std::size_t>(window->chosen)] : nullptr;
}

}  // namespace platform::display
