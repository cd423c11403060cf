#include "platform/ui/View.hpp"

#include "platform/ui/AnimationLog.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

namespace platform::ui {

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (const auto& subview : subviews_) subview->superview_ = nullptr;
    for (const auto& recognizer : gestureRecognizers_) recognizer->view_ = nullptr;
}

// ---- Geometry

void View::setFrame(const Rect& frame) {
    AnimationLog::shared().cancel(this, {"frame", "frameOrigin"});
    const Size oldSize = frame_.size;
    frame_ = frame;
    if (oldSize == frame.size) return;
    needsDisplay_ = true;
    resizeSubviews(oldSize);
    layoutConstrainedSubviews();
}

void View::setFrameOrigin(Point origin) {
    setFrame({origin, frame_.size});
}

void View::setFrameSize(Size size) {
    setFrame({frame_.origin, size});
}

// y runs the same way in this view and in its superview (a root's superview is the window,
// which is not flipped), or the two axes are mirrored over this view's height.
bool View::runsLikeSuperview() const {
    return isFlipped() == (superview_ != nullptr && superview_->isFlipped());
}

Point View::toSuperview(Point point) const {
    const double y = runsLikeSuperview() ? point.y : frame_.size.height - point.y;
    return {frame_.origin.x + point.x, frame_.origin.y + y};
}

Point View::fromSuperview(Point point) const {
    const double y = point.y - frame_.origin.y;
    return {point.x - frame_.origin.x, runsLikeSuperview() ? y : frame_.size.height - y};
}

std::vector<const View*> View::ancestry() const {
    std::vector<const View*> chain;
    for (const View* view = this; view != nullptr; view = view->superview_) chain.push_back(view);
    return chain;
}

Point View::convert(Point point, const View* view) const {
    // Up to the window (the root's frame is in window coordinates), then down into `view`.
    for (const View* step : ancestry()) point = step->toSuperview(point);
    return view == nullptr ? point : view->convertFrom(point, nullptr);
}

Point View::convertFrom(Point point, const View* view) const {
    if (view != nullptr) point = view->convert(point, nullptr);
    const auto chain = ancestry();
    for (auto step = chain.rbegin(); step != chain.rend(); ++step) point = (*step)->fromSuperview(point);
    return point;
}

namespace {
Rect spanning(Point a, Point b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(a.x - b.x), std::fabs(a.y - b.y)};
}
}  // namespace

Rect View::convert(const Rect& rect, const View* view) const {
    return spanning(convert(rect.origin, view), convert(Point{rect.maxX(), rect.maxY()}, view));
}

Rect View::convertFrom(const Rect& rect, const View* view) const {
    return spanning(convertFrom(rect.origin, view), convertFrom(Point{rect.maxX(), rect.maxY()}, view));
}

// ---- Visibility

void View::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    const bool wasHidden = isHiddenOrHasHiddenAncestor();
    hidden_ = hidden;
    if (isHiddenOrHasHiddenAncestor() != wasHidden) notifyVisibilityChanged(hidden);
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (const View* view = this; view != nullptr; view = view->superview_) {
        if (view->hidden_) return true;
    }
    return false;
}

void View::notifyVisibilityChanged(bool hidden) {
    const auto keepAlive = weak_from_this().lock();
    if (hidden) {
        viewDidHide();
    } else {
        viewDidUnhide();
    }
    // Subviews hidden by their own flag see no change.
    const auto children = subviews_;
    for (const auto& child : children) {
        if (!child->hidden_) child->notifyVisibilityChanged(hidden);
    }
}

void View::setAlphaValue(double alpha) {
    AnimationLog::shared().cancel(this, {"alphaValue"});
    alpha_ = std::clamp(alpha, 0.0, 1.0);
}

// ---- The tree

bool View::isDescendantOf(const View* view) const {
    for (const View* step = this; step != nullptr; step = step->superview_) {
        if (step == view) return true;
    }
    return false;
}

std::vector<std::shared_ptr<View>> View::selfAndDescendants() {
    std::vector<std::shared_ptr<View>> views{sharedView()};
    for (std::size_t next = 0; next < views.size(); ++next) {
        const auto& children = views[next]->subviews_;
        views.insert(views.begin() + static_cast<std::ptrdiff_t>(next) + 1, children.begin(), children.end());
    }
    return views;
}

std::shared_ptr<Responder> View::nextResponder() const {
    if (auto next = Responder::nextResponder()) return next;
    if (superview_ == nullptr) return nullptr;
    return std::dynamic_pointer_cast<Responder>(superview_->weak_from_this().lock());
}

Window* View::window() const {
    const View* root = this;
    while (root->superview_ != nullptr) root = root->superview_;
    return root->hostWindow_;
}

void View::addSubview(const std::shared_ptr<View>& view) {
    if (!view) throw std::invalid_argument("addSubview: no view given");
    if (isDescendantOf(view.get())) throw std::invalid_argument("addSubview: a view cannot contain itself");
    if (view->superview_ == this) {
        // Already here: only brought to the top.
        const auto at = std::find(subviews_.begin(), subviews_.end(), view);
        std::rotate(at, at + 1, subviews_.end());
        return;
    }
    const Window* oldWindow = view->window();
    if (View* oldSuperview = view->superview_) {
        std::erase_if(oldSuperview->constraints_, [&](const auto& constraint) { return constraint->involves(view.get()); });
        std::erase(oldSuperview->subviews_, view);
    }
    subviews_.push_back(view);
    view->superview_ = this;
    view->setNextResponder(nullptr);
    if (view->window() != oldWindow) view->notifyWindowChanged();
    view->viewDidMoveToSuperview();
}

void View::removeFromSuperview() {
    if (superview_ == nullptr) return;
    const auto keepAlive = weak_from_this().lock();  // the superview held the last reference, maybe
    const Window* oldWindow = window();
    std::erase_if(superview_->constraints_, [&](const auto& constraint) { return constraint->involves(this); });
    // Searched from the top: views taken out in reverse order of adding (a table's rows) then
    // cost nothing to find or to close the gap after.
    auto& siblings = superview_->subviews_;
    const auto found =
        std::find_if(siblings.rbegin(), siblings.rend(), [this](const auto& subview) { return subview.get() == this; });
    if (found != siblings.rend()) siblings.erase(std::next(found).base());
    superview_ = nullptr;
    setNextResponder(nullptr);
    if (oldWindow != nullptr) notifyWindowChanged();
    viewDidMoveToSuperview();
}

void View::setHostWindow(Window* window) {
    if (window == hostWindow_) return;
    hostWindow_ = window;
    notifyWindowChanged();
}

void View::notifyWindowChanged() {
    const auto keepAlive = weak_from_this().lock();
    viewDidMoveToWindow();
    const auto children = subviews_;
    for (const auto& child : children) child->notifyWindowChanged();
}

std::vector<std::shared_ptr<View>> View::subviewsInDrawingOrder() const {
    auto ordered = subviews_;
    std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
        const double za = a->layer() ? a->layer()->zPosition : 0;
        const double zb = b->layer() ? b->layer()->zPosition : 0;
        return za < zb;
    });
    return ordered;
}

View* View::hitTest(Point point) {
    if (hidden_ || alpha_ <= 0 || !frame_.contains(point)) return nullptr;
    const Point local = fromSuperview(point);
    const auto ordered = subviewsInDrawingOrder();
    for (auto child = ordered.rbegin(); child != ordered.rend(); ++child) {
        if (View* hit = (*child)->hitTest(local)) return hit;
    }
    return this;
}

// ---- Drawing

void View::draw(GraphicsContext&, const Rect&) {}

void View::setWantsLayer(bool wantsLayer) {
    if (wantsLayer && !layer_) layer_ = std::make_unique<Layer>();
    if (!wantsLayer) layer_.reset();
}

bool View::performKeyEquivalent(const Event& event) {
    const auto children = subviews_;
    return std::any_of(children.begin(), children.end(), [&](const auto& child) { return child->performKeyEquivalent(event); });
}

// ---- Tracking areas and gesture recognisers

void View::addTrackingArea(std::shared_ptr<TrackingArea> area) {
    trackingAreas_.push_back(std::move(area));
}

void View::removeTrackingArea(const std::shared_ptr<TrackingArea>& area) {
    std::erase(trackingAreas_, area);
}

void View::addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer) {
    if (recognizer->view_ != nullptr && recognizer->view_ != this) recognizer->view_->removeGestureRecognizer(recognizer);
    recognizer->view_ = this;
    gestureRecognizers_.push_back(std::move(recognizer));
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    const auto before = gestureRecognizers_.size();
    std::erase(gestureRecognizers_, recognizer);
    if (gestureRecognizers_.size() != before) recognizer->view_ = nullptr;
}

void View::setGestureRecognizers(std::vector<std::shared_ptr<GestureRecognizer>> recognizers) {
    for (const auto& old : gestureRecognizers_) old->view_ = nullptr;
    gestureRecognizers_.clear();
    for (auto& recognizer : recognizers) addGestureRecognizer(std::move(recognizer));
}

// ---- Cursor rectangles

void View::addCursorRect(const Rect& rect, std::shared_ptr<Cursor> cursor) {
    cursorRects_.push_back({rect, std::move(cursor)});
}

// ---- Layout

void View::setAutoresizingMask(unsigned mask) {
    constexpr unsigned supported = AutoresizingMask::widthSizable | AutoresizingMask::heightSizable;
    if ((mask & ~supported) != 0) {
        std::ostringstream message;
        message << "Autoresizing mask " << mask
                << " asks for flexible margins; only width-sizable (2) and height-sizable (16) are supported";
        throw std::invalid_argument(message.str());
    }
    autoresizingMask_ = mask;
}

void View::resizeSubviews(Size oldSize) {
    if (!autoresizesSubviews_) return;
    const double dw = frame_.size.width - oldSize.width;
    const double dh = frame_.size.height - oldSize.height;
    const auto children = subviews_;
    for (const auto& child : children) {
        if (!child->translatesMask_ || child->autoresizingMask_ == AutoresizingMask::none) continue;
        Rect frame = child->frame_;
        if (child->autoresizingMask_ & AutoresizingMask::widthSizable) frame.size.width += dw;
        if (child->autoresizingMask_ & AutoresizingMask::heightSizable) frame.size.height += dh;
        child->setFrame(frame);
    }
}

void View::addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    for (const auto& constraint : constraints) {
        const auto first = constraint->firstItem();
        const auto second = constraint->secondItem();
        const bool pinsSubviewToThis = (first.get() == this && second && second->superview_ == this) ||
                                       (second.get() == this && first && first->superview_ == this);
        if (!pinsSubviewToThis) {
            throw std::invalid_argument("addConstraints: a constraint does not tie a subview of this view to this view");
        }
    }
    constraints_.insert(constraints_.end(), constraints.begin(), constraints.end());
    layoutConstrainedSubviews();
}

void View::removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints) {
    std::erase_if(constraints_, [&](const auto& installed) {
        return std::find(constraints.begin(), constraints.end(), installed) != constraints.end();
    });
}

namespace {
// Where an edge of this view lies: x from the left edge, or (vertical attributes) the distance
// down from the top edge.
double edgeOfContainer(LayoutAttribute attribute, Size size) {
    switch (attribute) {
        case LayoutAttribute::left:
        case LayoutAttribute::leading:
        case LayoutAttribute::top: return 0;
        case LayoutAttribute::right:
        case LayoutAttribute::trailing: return size.width;
        case LayoutAttribute::bottom: return size.height;
        default: throw std::logic_error("layout attribute without an edge");
    }
}
}  // namespace

void View::layoutConstrainedSubviews() {
    const auto children = subviews_;
    for (const auto& child : children) {
        if (child->translatesMask_) continue;
        std::optional<double> left, right, top, bottom;  // top and bottom count down from this view's top
        for (const auto& constraint : constraints_) {
            const bool childFirst = constraint->firstItem() == child;
            if (!childFirst && constraint->secondItem() != child) continue;
            const LayoutAttribute childAttribute = childFirst ? constraint->firstAttribute() : constraint->secondAttribute();
            const LayoutAttribute ownAttribute = childFirst ? constraint->secondAttribute() : constraint->firstAttribute();
            const double own = edgeOfContainer(ownAttribute, frame_.size);
            const double value = childFirst ? own + constraint->constant() : own - constraint->constant();
            switch (childAttribute) {
                case LayoutAttribute::left:
                case LayoutAttribute::leading: left = value; break;
                case LayoutAttribute::right:
                case LayoutAttribute::trailing: right = value; break;
                case LayoutAttribute::top: top = value; break;
                case LayoutAttribute::bottom: bottom = value; break;
                default: break;
            }
        }
        Rect frame = child->frame_;
        if (left && right) {
            frame.origin.x = *left;
            frame.size.width = *right - *left;
        } else if (left) {
            frame.origin.x = *left;
        } else if (right) {
            frame.origin.x = *right - frame.size.width;
        }
        if (top && bottom) frame.size.height = *bottom - *top;
        if (top || bottom) {
            const double topDistance = top ? *top : *bottom - frame.size.height;
            frame.origin.y = isFlipped() ? topDistance : frame_.size.height - topDistance - frame.size.height;
        }
        child->setFrame(frame);
    }
}

}  // namespace platform::ui
