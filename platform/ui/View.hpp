#pragma once

#include "platform/ui/Animator.hpp"
#include "platform/ui/AutoresizingMask.hpp"
#include "platform/ui/Cursor.hpp"
#include "platform/ui/GestureRecognizer.hpp"
#include "platform/ui/GraphicsContext.hpp"
#include "platform/ui/Layer.hpp"
#include "platform/ui/LayoutConstraint.hpp"
#include "platform/ui/Rect.hpp"
#include "platform/ui/Responder.hpp"
#include "platform/ui/TrackingArea.hpp"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui {

class Window;

// A rectangle of the view tree. A view owns its subviews (drawn and hit in order, the last on
// top) and is their next responder; frames are in the superview's coordinates, y upwards unless
// the superview is flipped. Views live in `std::shared_ptr`s and on the main thread.
class View : public Responder {
public:
    explicit View(Rect frame = {});
    ~View() override;

    // ---- Geometry
    Rect frame() const { return frame_; }
    // Sets the frame at once, ending any animation of it; a new size resizes the subviews by
    // their autoresizing masks and lays out those placed by constraints.
    void setFrame(const Rect& frame);
    void setFrameOrigin(Point origin);
    void setFrameSize(Size size);
    // The view's own coordinate space: its size at the origin.
    Rect bounds() const { return {Point{}, frame_.size}; }
    // Flipped views count y downwards from their top edge.
    virtual bool isFlipped() const { return false; }

    // A point or rectangle of this view in the coordinates of `view`, or of the window when
    // `view` is null. Both must be in the same tree.
    Point convert(Point point, const View* view) const;
    Rect convert(const Rect& rect, const View* view) const;
    // The other way: from the coordinates of `view` (the window's when null) into this view's.
    Point convertFrom(Point point, const View* view) const;
    Rect convertFrom(const Rect& rect, const View* view) const;

    // ---- Visibility
    bool isHidden() const { return hidden_; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    // Called when the view becomes hidden or shown, by its own flag or an ancestor's.
    virtual void viewDidHide() {}
    virtual void viewDidUnhide() {}

    double alphaValue() const { return alpha_; }
    // Sets the opacity (0 to 1) at once, ending any animation of it.
    void setAlphaValue(double alpha);

    // The proxy whose setters animate (see `Animator`).
    Animator<View> animator() { return Animator<View>(*this); }

    // ---- The tree
    View* superview() const { return superview_; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return subviews_; }
    // The subviews from bottom to top as they are drawn and hit: by their layers' z position
    // (none counts as 0), and in order where that is equal.
    std::vector<std::shared_ptr<View>> subviewsInDrawingOrder() const;
    // Puts `view` on top of the subviews, taking it from any other superview first, then tells
    // it, at once and in this order: `viewDidMoveToWindow` (on it and its subviews, when its
    // window changes) and `viewDidMoveToSuperview`. Adding a view to itself or to one of its
    // descendants throws std::invalid_argument.
    void addSubview(const std::shared_ptr<View>& view);
    // Takes the view out of its superview, with its constraints there, and tells it as above.
    void removeFromSuperview();
    bool isDescendantOf(const View* view) const;
    // This view and everything below it, each view before its subviews, subviews in order.
    std::vector<std::shared_ptr<View>> selfAndDescendants();
    Window* window() const;
    // This view's own shared pointer.
    std::shared_ptr<View> sharedView() { return sharedAs(this); }
    // The one set explicitly (a window sets it on its content view), else the superview. So a
    // view may build its subviews in its constructor, before it lives in a shared pointer.
    std::shared_ptr<Responder> nextResponder() const override;

    virtual void viewDidMoveToSuperview() {}
    virtual void viewDidMoveToWindow() {}

    // The deepest visible view under `point` (in the superview's coordinates), the topmost in
    // drawing order first: hidden views and views at alpha 0 are passed over with everything in
    // them, and so are points outside a frame.
    virtual View* hitTest(Point point);

    // ---- Drawing
    bool needsDisplay() const { return needsDisplay_; }
    void setNeedsDisplay(bool needsDisplay) { needsDisplay_ = needsDisplay; }
    virtual void viewWillDraw() {}
    // Draws the view's own content into `context`, in its own coordinates; nothing by default.
    virtual void draw(GraphicsContext& context, const Rect& dirtyRect);

    // Whether the view draws by setting its layer's contents rather than through `draw`.
    virtual bool wantsUpdateLayer() const { return false; }
    bool wantsLayer() const { return layer_ != nullptr; }
    // A layer-backed view has a layer; turning it off drops the layer.
    void setWantsLayer(bool wantsLayer);
    Layer* layer() { return layer_.get(); }
    const Layer* layer() const { return layer_.get(); }

    // ---- Identity and keyboard order
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    // Held weakly, as AppKit does.
    std::shared_ptr<View> nextKeyView() const { return nextKeyView_.lock(); }
    void setNextKeyView(const std::shared_ptr<View>& view) { nextKeyView_ = view; }

    // A key equivalent is offered to the subviews in order; true when one handled it.
    bool performKeyEquivalent(const Event& event) override;

    // ---- Tracking areas and gesture recognisers
    const std::vector<std::shared_ptr<TrackingArea>>& trackingAreas() const { return trackingAreas_; }
    void addTrackingArea(std::shared_ptr<TrackingArea> area);
    void removeTrackingArea(const std::shared_ptr<TrackingArea>& area);

    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return gestureRecognizers_; }
    void addGestureRecognizer(std::shared_ptr<GestureRecognizer> recognizer);
    void removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void setGestureRecognizers(std::vector<std::shared_ptr<GestureRecognizer>> recognizers);

    // ---- Cursor rectangles
    // Called when the window rebuilds its cursor rectangles; a view adds its own here with
    // `addCursorRect`. Nothing by default.
    virtual void resetCursorRects() {}
    void addCursorRect(const Rect& rect, std::shared_ptr<Cursor> cursor);
    void discardCursorRects() { cursorRects_.clear(); }
    const std::vector<CursorRect>& cursorRects() const { return cursorRects_; }

    // ---- Layout
    unsigned autoresizingMask() const { return autoresizingMask_; }
    // Only `AutoresizingMask::widthSizable` and `heightSizable` are supported; a mask with any
    // other flag throws std::invalid_argument and changes nothing.
    void setAutoresizingMask(unsigned mask);
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }
    // A view that does not translate its mask is placed by constraints, or keeps its frame.
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates) { translatesMask_ = translates; }

    const std::vector<std::shared_ptr<LayoutConstraint>>& constraints() const { return constraints_; }
    // Installs constraints between this view and its subviews and lays them out at once. A
    // constraint on a view outside this view's subviews throws std::invalid_argument and
    // nothing is installed.
    void addConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);
    // Uninstalls the given constraints; the frames stay where they are.
    void removeConstraints(const std::vector<std::shared_ptr<LayoutConstraint>>& constraints);

private:
    friend class Window;

    void setHostWindow(Window* window);
    void notifyWindowChanged();
    void notifyVisibilityChanged(bool hidden);
    void resizeSubviews(Size oldSize);
    void layoutConstrainedSubviews();
    bool runsLikeSuperview() const;
    Point toSuperview(Point point) const;
    Point fromSuperview(Point point) const;
    // The chain of views from this one up to its root, this one first.
    std::vector<const View*> ancestry() const;

    Rect frame_;
    bool hidden_ = false;
    double alpha_ = 1.0;
    std::vector<std::shared_ptr<View>> subviews_;
    View* superview_ = nullptr;     // the superview owns this view
    Window* hostWindow_ = nullptr;  // set on a window's content view; the window owns it
    bool needsDisplay_ = false;
    std::unique_ptr<Layer> layer_;
    std::string identifier_;
    int tag_ = -1;
    std::weak_ptr<View> nextKeyView_;
    std::vector<std::shared_ptr<TrackingArea>> trackingAreas_;
    std::vector<std::shared_ptr<GestureRecognizer>> gestureRecognizers_;
    std::vector<CursorRect> cursorRects_;
    unsigned autoresizingMask_ = AutoresizingMask::none;
    bool autoresizesSubviews_ = true;
    bool translatesMask_ = true;
    std::vector<std::shared_ptr<LayoutConstraint>> constraints_;
};

}  // namespace platform::ui
