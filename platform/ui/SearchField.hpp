#pragma once

#include "platform/ui/SearchFieldCell.hpp"
#include "platform/ui/TextField.hpp"

#include <memory>

namespace platform::ui {

// A text field for a search text, laid out and drawn by its cell.
class SearchField : public TextField {
public:
    explicit SearchField(Rect frame = {});
    ~SearchField() override;

    std::shared_ptr<SearchFieldCell> cell() const { return cell_; }
    // A null cell is refused with std::invalid_argument.
    void setCell(std::shared_ptr<SearchFieldCell> cell);

    // The search button in its cell's place, the text in the cell's text rectangle.
    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

protected:
    // The cell's text rectangle where it overlaps the field.
    Rect textRect() const override;

private:
    std::shared_ptr<SearchFieldCell> cell_;
};

}  // namespace platform::ui
