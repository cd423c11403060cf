#include "platform/display/MenuPresenter.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/display/DisplayServer.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowLevel.hpp"

#include <algorithm>
#include <cmath>

namespace platform::display {

namespace {
const ui::Selector choose = "chooseMenuItem:";

// The menu's window: it takes the keys, and Escape dismisses it.
class MenuWindow final : public ui::Window {
public:
    explicit MenuWindow(ui::Rect frame) : ui::Window(frame, ui::WindowStyleMask::borderless) {
        setLevel(ui::WindowLevel::popUpMenu);
        setBackgroundColor(ui::Color::white());
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
    const auto measurer = Services::current().textMeasurer();
    const ui::TextAttributes attributes{ui::Font::system(13), std::nullopt, std::nullopt, std::nullopt};
    double width = minimumWidth;
    for (const auto& item : items)
        width = std::max(width, std::ceil(measurer->size(item->title(), attributes).width) + 2 * horizontalPadding);
    const double height = rowHeight * static_cast<double>(items.size());

    // The menu's top-left corner at the location; moved up or left where the screen ends.
    const ui::Point at = screenPoint(request.location, request.view);
    ui::Rect frame{at.x, at.y - height, width, height};
    auto screen = ui::Screen::containing({at.x, at.y, 0, 0});
    if (!screen) screen = ui::Screen::main();
    if (screen) {
        const ui::Rect area = screen->frame();
        if (frame.minY() < area.minY()) frame.origin.y = at.y;
        if (frame.maxX() > area.maxX()) frame.origin.x = area.maxX() - width;
        frame.origin.x = std::max(frame.origin.x, area.minX());
    }
    const auto window = std::make_shared<MenuWindow>(frame);
    auto content = std::make_shared<ui::View>();
    window->setContentView(content);
    window->setActionHandler(choose, [window](ui::Object* sender) {
        if (const auto* row = dynamic_cast<const ui::Button*>(sender)) window->chosen = row->tag();
    });
    for (std::size_t index = 0; index < items.size(); ++index) {
        auto row =
            std::make_shared<ui::Button>(ui::Rect(0, height - rowHeight * static_cast<double>(index + 1), width, rowHeight));
        row->setTitle(items[index]->title());
        row->setTag(static_cast<int>(index));
        row->setTarget(window);
        row->setAction(choose);
        content->addSubview(row);
    }

    auto& application = ui::Application::shared();
    const auto previousKey = application.keyWindow();
    window->makeKeyAndOrderFront();
    server_.sync();
    // A click anywhere else ends the menu: with the pointer grabbed, such clicks come to the menu's
    // window from outside its bounds.
    Display* display = server_.connection().display();
    const NativeWindow* native = server_.nativeWindow(*window);
    const ::Window menuId = native != nullptr ? native->id() : None;
    if (menuId != None) {
        XGrabPointer(display, menuId, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                     None, None, CurrentTime);
    }
    const int filter = server_.addEventFilter([&](const XEvent& event) {
        if (event.type != ButtonPress || event.xbutton.window != menuId) return false;
        const bool inside = event.xbutton.x >= 0 && event.xbutton.y >= 0 && event.xbutton.x < static_cast<int>(width) &&
                            event.xbutton.y < static_cast<int>(height);
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
