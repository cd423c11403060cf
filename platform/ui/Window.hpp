#pragma once

#include "platform/ui/Animator.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/Cursor.hpp"
#include "platform/ui/ModalResponse.hpp"
#include "platform/ui/MouseDispatch.hpp"
#include "platform/ui/Rect.hpp"
#include "platform/ui/Responder.hpp"
#include "platform/ui/SheetQueue.hpp"
#include "platform/ui/WindowLevel.hpp"
#include "platform/ui/WindowStyleMask.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui {

class Screen;
class View;
class WindowController;
class WindowDelegate;

// How a window's backing store is kept, with AppKit's raw values; headless it is only recorded.
enum class BackingStoreType : int { retained = 0, nonretained = 1, buffered = 2 };

// The root of a view tree: a frame on the screen (in screen coordinates, y upwards from the
// bottom of the main screen) and the content view that fills it. Windows have no decorations
// here, so the content area is the whole frame.
//
// A window is visible from `orderFront` to `orderOut` or `close`, whatever its alpha; at alpha 0
// it takes no input, mouse or keys, even while key. The application has at most one key window, which gets the keys (see
// `Application`); making another window key makes the old one resign first. Sheets are queued
// per window: the first is shown, the next waits until it ends. Windows live in
// `std::shared_ptr`s and on the main thread.
class Window : public Responder {
public:
    // Seconds that an animated frame change takes (AppKit's default resize time).
    static constexpr double frameAnimationDuration = 0.2;

    using SheetCompletion = SheetQueue::Completion;

    explicit Window(Rect contentRect = {}, unsigned styleMask = WindowStyleMask::titled,
                    BackingStoreType backing = BackingStoreType::buffered, bool defer = false);
    ~Window() override;

    std::shared_ptr<Window> sharedWindow() { return sharedAs(this); }

    // ---- Geometry
    Rect frame() const { return frame_; }
    // Moves and sizes the window at once, ending any animation of its frame; the content view is
    // sized with it and the delegate hears of a new size.
    void setFrame(const Rect& frame);
    // The same; `display` marks the content for redrawing and `animate` records the change as an
    // animation of `frameAnimationDuration`.
    void setFrame(const Rect& frame, bool display, bool animate);
    void setFrameOrigin(Point origin);
    // A rectangle of the window's coordinates in screen coordinates.
    Rect convertToScreen(const Rect& rect) const;
    // The screen that holds most of the window; none when it lies on no screen.
    std::shared_ptr<Screen> screen() const;

    // ---- Look
    double alphaValue() const { return alpha_; }
    // Sets the opacity (0 to 1) at once, ending any animation of it.
    void setAlphaValue(double alpha);
    // The opacity the window is seen with: a sheet shows only as far as the window it belongs
    // to does, so it fades and vanishes with it.
    double visibleAlphaValue() const;
    Animator<Window> animator() { return Animator<Window>(*this); }
    int level() const { return level_; }
    void setLevel(int level) { level_ = level; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    const Color& backgroundColor() const { return backgroundColor_; }
    void setBackgroundColor(const Color& color) { backgroundColor_ = color; }
    bool hasShadow() const { return hasShadow_; }
    void setHasShadow(bool hasShadow) { hasShadow_ = hasShadow; }
    unsigned styleMask() const { return styleMask_; }
    void setStyleMask(unsigned styleMask) { styleMask_ = styleMask; }
    BackingStoreType backingType() const { return backing_; }
    const std::string& title() const { return title_; }
    void setTitle(std::string title) { title_ = std::move(title); }
    // Whether the window is ordered out while its application is inactive (see `Application::deactivate`).
    bool hidesOnDeactivate() const { return hidesOnDeactivate_; }
    void setHidesOnDeactivate(bool hides) { hidesOnDeactivate_ = hides; }
    bool acceptsMouseMovedEvents() const { return acceptsMouseMovedEvents_; }
    void setAcceptsMouseMovedEvents(bool accepts) { acceptsMouseMovedEvents_ = accepts; }

    // ---- Content
    std::shared_ptr<View> contentView() const { return contentView_; }
    // Makes `view` the content view: it fills the window, its next responder is the window, and
    // it and its subviews hear `viewDidMoveToWindow`. The old content view leaves the window.
    void setContentView(std::shared_ptr<View> view);

    // ---- Delegate and controller
    // Held weakly.
    std::shared_ptr<WindowDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<WindowDelegate>& delegate) { delegate_ = delegate; }
    // The controller that owns this window, if any; set by the controller.
    WindowController* windowController() const { return windowController_; }

    // ---- First responder and keyboard order
    // The responder that gets the keys: the window itself when nothing else is.
    std::shared_ptr<Responder> firstResponder();
    // Hands the first-responder role to `responder` (the window itself when null): the current
    // one must resign and the new one accept and become. False, with the window as first
    // responder, when the new one refuses; false and no change when the current one will not resign.
    bool makeFirstResponder(std::shared_ptr<Responder> responder);
    // The view made first responder when the window is first ordered front. Held weakly.
    std::shared_ptr<View> initialFirstResponder() const { return initialFirstResponder_.lock(); }
    void setInitialFirstResponder(const std::shared_ptr<View>& view) { initialFirstResponder_ = view; }
    // Tab: makes the first view along the next-key-view chain after `view` that is shown in
    // this window and accepts the role the first responder; nothing when there is none.
    void selectKeyViewFollowingView(View& view);
    // Shift-Tab: the same backwards, to the last such view of the chain before `view`.
    void selectKeyViewPrecedingView(View& view);

    // ---- Ordering and key state
    bool isVisible() const { return visible_; }
    void orderFront();
    // Takes the window off the screen; a key window resigns first.
    void orderOut();
    void makeKeyAndOrderFront();
    // Makes this the application's key window when it can become key; the previous key window
    // resigns first. While a sheet is shown on the window, the sheet gets the keys instead.
    void makeKey();
    bool isKeyWindow() const;
    // Stops being the key window, when it is; no window is key afterwards.
    void resignKey();
    // Borderless windows cannot become key unless a subclass says so.
    virtual bool canBecomeKey() const { return (styleMask_ & WindowStyleMask::titled) != 0; }
    // Tells the delegate that the window will close, then orders it out.
    void close();

    // ---- Events
    // Mouse presses and releases go to the view under the pointer (a release to the view that
    // got the press), after the gesture recognisers of that view and its ancestors; keys go to
    // the first responder. A window that is not visible, or is at alpha 0, takes no mouse input,
    // and neither does one under a sheet: the sheet must be answered first.
    void sendEvent(const Event& event);
    // Offers a key equivalent to the content view's tree; true when a view handled it.
    bool performKeyEquivalent(const Event& event) override;
    // Keys that nothing below took end here: Escape becomes `cancelOperation`, Tab and Shift-Tab
    // move along the key views from the first responder.
    void keyDown(const Event& event) override;
    // The pointer now lies at `location` (window coordinates), or outside the window: the owners
    // of tracking areas that it entered or left hear of it. Called by the application.
    void pointerMoved(std::optional<Point> location);
    // The cursor the pointer shows at `location`: the views' cursor rectangles are rebuilt
    // (`View::resetCursorRects`) and the topmost one there wins; the arrow elsewhere.
    std::shared_ptr<Cursor> cursorAt(Point location);

    // ---- Sheets
    // Queues `sheet` on this window; it is shown (ordered front and made key, on top of this
    // window, no wider than it, hung from its top edge or where the delegate says, and centred
    // as far as the screen allows) once no earlier sheet is left. A window that is already a
    // sheet is refused.
    void beginSheet(const std::shared_ptr<Window>& sheet, SheetCompletion completion);
    // Ends `sheet`: it is ordered out, the next queued sheet is shown, and the sheet's completion
    // runs later on the main queue with `response`. Nothing when `sheet` is not queued here.
    void endSheet(Window& sheet, ModalResponse response);
    // The sheet shown now, if any.
    std::shared_ptr<Window> attachedSheet() const { return sheets_.attached(); }
    // The shown sheet first, then those waiting.
    std::vector<std::shared_ptr<Window>> sheets() const { return sheets_.sheets(); }
    // The window this one is queued on as a sheet; none otherwise.
    Window* sheetParent() const { return sheetParent_; }

private:
    friend class Application;
    friend class WindowController;

    void presentSheet(Window& sheet);
    void didBecomeKey();
    void didResignKey();
    void setVisible(bool visible);

    Rect frame_;
    double alpha_ = 1.0;
    int level_ = WindowLevel::normal;
    bool opaque_ = true;
    Color backgroundColor_ = Color::windowBackground();
    bool hasShadow_ = true;
    unsigned styleMask_;
    BackingStoreType backing_;
    std::string title_;
    bool hidesOnDeactivate_ = false;
    bool acceptsMouseMovedEvents_ = false;
    std::shared_ptr<View> contentView_;
    std::weak_ptr<WindowDelegate> delegate_;
    WindowController* windowController_ = nullptr;  // the controller owns the window and clears this
    std::weak_ptr<Responder> firstResponder_;
    std::weak_ptr<View> initialFirstResponder_;
    bool visible_ = false;
    bool hasBeenOrderedFront_ = false;
    MouseDispatch mouse_;
    SheetQueue sheets_;
    Window* sheetParent_ = nullptr;  // the parent's queue holds this window while this is set
};

}  // namespace platform::ui
