#pragma once

#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// Holds a document view (a table, say) taller than itself, from its top edge down. The wheel
// scrolls it: the document moves up by the distance scrolled, never past its own ends, and the
// scroll view's bounds clip what lies outside them.
class ScrollView : public View {
public:
    using View::View;

    // Counts downwards, so the document view starts at the top.
    bool isFlipped() const override { return true; }

    std::shared_ptr<View> documentView() const { return documentView_; }
    // Replaces the document view, which is placed at the top left.
    void setDocumentView(std::shared_ptr<View> view);

    // How far the document is scrolled: the distance from its top edge to the top of the view.
    double scrollOffset() const { return scrollOffset_; }
    // Scrolls to `offset`, kept between the top and the point where the document's bottom edge
    // meets the view's.
    void scrollTo(double offset);
    void scrollWheel(const Event& event) override;

private:
    std::shared_ptr<View> documentView_;
    double scrollOffset_ = 0;
};

}  // namespace platform::ui
