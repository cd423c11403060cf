#pragma once

#include "platform/ui/ImageView.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// The view of one cell of a table, with the usual text field and image view inside it.
// Both outlets are held weakly; the cell's subviews own them.
class TableCellView : public View {
public:
    using View::View;

    std::shared_ptr<TextField> textField() const { return textField_.lock(); }
    void setTextField(const std::shared_ptr<TextField>& field) { textField_ = field; }
    std::shared_ptr<ImageView> imageView() const { return imageView_.lock(); }
    void setImageView(const std::shared_ptr<ImageView>& view) { imageView_ = view; }

private:
    std::weak_ptr<TextField> textField_;
    std::weak_ptr<ImageView> imageView_;
};

}  // namespace platform::ui
