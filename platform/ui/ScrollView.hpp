#pragma once

#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// Holds a document view (a table, say) taller than itself, from its top edge down. Headless
// nothing scrolls: the document's first rows are the ones in view.
class ScrollView : public View {
public:
    using View::View;

    // Counts downwards, so the document view starts at the top.
    bool isFlipped() const override { return true; }

    std::shared_ptr<View> documentView() const { return documentView_; }
    // Replaces the document view, which is placed at the top left.
    void setDocumentView(std::shared_ptr<View> view);

private:
    std::shared_ptr<View> documentView_;
};

}  // namespace platform::ui
