#include "platform/ui/Window.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/WindowController.hpp"
#include "platform/ui/WindowDelegate.hpp"

#include <algorithm>
#include <set>

namespace platform::ui {

// Drawing is never deferred headless, so `defer` changes nothing.
Window::Window(Rect contentRect, unsigned styleMask, BackingStoreType backing, bool /*defer*/)
    : frame_(contentRect), styleMask_(styleMask), backing_(backing) {}

Window::~Window() {
    if (contentView_) contentView_->hostWindow_ = nullptr;
    for (const auto& sheet : sheets_.sheets()) sheet->sheetParent_ = nullptr;
}

// ---- Geometry

void Window::setFrame(const Rect& frame) {
    AnimationLog::shared().cancel(this, {"frame", "frameOrigin"});
    const bool resized = frame.size != frame_.size;
    frame_ = frame;
    if (contentView_) contentView_->setFrame({Point{}, frame.size});
    if (!resized) return;
    if (auto listener = delegate()) listener->windowDidResize(*this);
}

void Window::setFrame(const Rect& frame, bool display, bool animate) {
    if (animate) {
        AnimationContext::runAnimationGroup(frameAnimationDuration, [&] { animator().setFrame(frame); });
    } else {
        setFrame(frame);
    }
    if (display && contentView_) contentView_->setNeedsDisplay(true);
}

void Window::setFrameOrigin(Point origin) {
    setFrame({origin, frame_.size});
}

Rect Window::convertToScreen(const Rect& rect) const {
    return rect.offsetBy(frame_.origin.x, frame_.origin.y);
}

std::shared_ptr<Screen> Window::screen() const {
    return Screen::containing(frame_);
}

// ---- Look

void Window::setAlphaValue(double alpha) {
    AnimationLog::shared().cancel(this, {"alphaValue"});
    alpha_ = std::clamp(alpha, 0.0, 1.0);
}

double Window::visibleAlphaValue() const {
    return sheetParent_ != nullptr ? alpha_ * sheetParent_->visibleAlphaValue() : alpha_;
}

// ---- Content

void Window::setContentView(std::shared_ptr<View> view) {
    if (view == contentView_) return;
    if (view) view->removeFromSuperview();
    const auto old = std::exchange(contentView_, view);
    if (old) {
        old->setNextResponder(nullptr);
        old->setHostWindow(nullptr);
    }
    if (!view) return;
    view->setFrame({Point{}, frame_.size});
    view->setNextResponder(sharedAs(this));
    view->setHostWindow(this);
}

// ---- First responder and keyboard order

std::shared_ptr<Responder> Window::firstResponder() {
    auto responder = firstResponder_.lock();
    // A view that has left this window no longer holds the role.
    if (const auto* view = dynamic_cast<const View*>(responder.get()); view != nullptr && view->window() != this) {
        firstResponder_.reset();
        responder.reset();
    }
    return responder ? responder : sharedAs<Responder>(this);
}

bool Window::makeFirstResponder(std::shared_ptr<Responder> responder) {
    const auto self = sharedAs<Responder>(this);
    if (!responder) responder = self;
    const auto current = firstResponder();
    if (responder == current) return true;
    if (!current->resignFirstResponder()) return false;
    firstResponder_.reset();
    if (responder == self) return true;
    if (!responder->acceptsFirstResponder() || !responder->becomeFirstResponder()) return false;
    firstResponder_ = responder;
    return true;
}

namespace {
bool isSelectableKeyView(const View& view, const Window& window) {
    return view.window() == &window && !view.isHiddenOrHasHiddenAncestor() && view.acceptsFirstResponder();
}
}  // namespace

void Window::selectKeyViewFollowingView(View& view) {
    std::set<const View*> seen{&view};
    for (auto next = view.nextKeyView(); next && seen.insert(next.get()).second; next = next->nextKeyView()) {
        if (isSelectableKeyView(*next, *this)) {
            makeFirstResponder(next);
            return;
        }
    }
}

void Window::selectKeyViewPrecedingView(View& view) {
    // The chain only links forwards: the one before `view` is the last selectable one met on the
    // way round to it.
    std::shared_ptr<View> preceding;
    std::set<const View*> seen{&view};
    for (auto next = view.nextKeyView(); next && seen.insert(next.get()).second; next = next->nextKeyView()) {
        if (isSelectableKeyView(*next, *this)) preceding = next;
    }
    if (preceding) makeFirstResponder(preceding);
}

// ---- Ordering and key state

void Window::setVisible(bool visible) {
    if (visible == visible_) return;
    visible_ = visible;
    if (visible) {
        Application::shared().windowDidOrderFront(*this);
    } else {
        Application::shared().windowDidOrderOut(*this);
    }
}

void Window::orderFront() {
    setVisible(true);
    if (hasBeenOrderedFront_) return;
    hasBeenOrderedFront_ = true;
    if (auto initial = initialFirstResponder(); initial && firstResponder().get() == this) makeFirstResponder(initial);
}

void Window::orderOut() {
    resignKey();
    setVisible(false);
}

void Window::makeKeyAndOrderFront() {
    orderFront();
    makeKey();
}

void Window::makeKey() {
    if (const auto sheet = attachedSheet(); sheet && sheet->isVisible()) {
        sheet->makeKey();
        return;
    }
    if (canBecomeKey()) Application::shared().makeKeyWindow(*this);
}

bool Window::isKeyWindow() const {
    return Application::shared().keyWindow().get() == this;
}

void Window::resignKey() {
    if (isKeyWindow()) Application::shared().resignKeyWindow(*this);
}

void Window::didBecomeKey() {
    if (auto listener = delegate()) listener->windowDidBecomeKey(*this);
}

void Window::didResignKey() {
    if (auto listener = delegate()) listener->windowDidResignKey(*this);
}

void Window::close() {
    const auto keepAlive = sharedWindow();
    if (auto listener = delegate()) listener->windowWillClose(*this);
    orderOut();
}

// ---- Events

void Window::sendEvent(const Event& event) {
    const auto keepAlive = sharedWindow();
    if (event.isKeyEvent()) {
        const auto responder = firstResponder();
        if (event.type() == EventType::keyDown) {
            responder->keyDown(event);
        } else {
            responder->keyUp(event);
        }
        return;
    }
    if (visible_ && visibleAlphaValue() > 0 && !attachedSheet()) mouse_.dispatch(*this, event);
}

bool Window::performKeyEquivalent(const Event& event) {
    return contentView_ && contentView_->performKeyEquivalent(event);
}

void Window::keyDown(const Event& event) {
    auto* const focused = dynamic_cast<View*>(firstResponder().get());
    if (event.characters() == "\x1b") {
        cancelOperation(this);
    } else if (event.characters() == "\t" && focused != nullptr) {
        selectKeyViewFollowingView(*focused);
    } else if (event.characters() == "\x19" && focused != nullptr) {
        selectKeyViewPrecedingView(*focused);
    } else {
        Responder::keyDown(event);
    }
}

void Window::pointerMoved(std::optional<Point> location) {
    mouse_.pointerMoved(*this, location);
}

std::shared_ptr<Cursor> Window::cursorAt(Point location) {
    if (!contentView_) return Cursor::arrow();
    const auto views = contentView_->selfAndDescendants();
    for (const auto& view : views) {
        view->discardCursorRects();
        view->resetCursorRects();
    }
    // Later views lie on top of earlier ones.
    for (auto view = views.rbegin(); view != views.rend(); ++view) {
        if ((*view)->isHiddenOrHasHiddenAncestor()) continue;
        const auto& rects = (*view)->cursorRects();
        for (auto rect = rects.rbegin(); rect != rects.rend(); ++rect) {
            if ((*view)->convert(rect->rect, nullptr).contains(location)) return rect->cursor;
        }
    }
    return Cursor::arrow();
}

// ---- Sheets

void Window::beginSheet(const std::shared_ptr<Window>& sheet, SheetCompletion completion) {
    if (!sheet || sheet.get() == this || sheet->sheetParent_ != nullptr) return;
    sheet->sheetParent_ = this;
    if (sheets_.push(sheet, std::move(completion))) presentSheet(*sheet);
}

void Window::presentSheet(Window& sheet) {
    // A sheet belongs to its window: no wider than it, on it, hung from its top edge (or where
    // the delegate says) and centred, but kept on this window's screen.
    Rect anchor{0, frame_.height(), frame_.width(), 0};
    if (auto listener = delegate()) anchor = listener->windowWillPositionSheet(*this, sheet, anchor);
    const double width = std::min(sheet.frame().width(), frame_.width());
    const double height = sheet.frame().height();
    double x = frame_.minX() + anchor.midX() - width / 2;
    x = std::max(frame_.minX(), std::min(x, frame_.maxX() - width));
    if (const auto shownOn = screen()) {
        const Rect area = shownOn->frame();
        x = std::max(area.minX(), std::min(x, area.maxX() - width));
    }
    sheet.setFrame({x, frame_.minY() + anchor.maxY() - height, width, height});
    sheet.makeKeyAndOrderFront();
}

void Window::endSheet(Window& sheet, ModalResponse response) {
    auto removed = sheets_.remove(sheet);
    if (!removed) return;
    sheet.sheetParent_ = nullptr;
    const bool wasKey = sheet.isKeyWindow();
    sheet.orderOut();
    if (removed->wasShown) {
        if (auto next = sheets_.attached()) {
            presentSheet(*next);
        } else if (wasKey) {
            makeKey();
        }
    }
    if (removed->completion) {
        dispatch::DispatchQueue::main()->async([completion = std::move(removed->completion), response] { completion(response); });
    }
}

}  // namespace platform::ui
