#pragma once

#include <string>

namespace platform::ui {

// A column of a table, known by its identifier. The table's last column takes whatever width
// the others leave.
class TableColumn {
public:
    static constexpr double defaultWidth = 100;

    explicit TableColumn(std::string identifier, double width = defaultWidth)
        : identifier_(std::move(identifier)), width_(width) {}

    const std::string& identifier() const { return identifier_; }
    double width() const { return width_; }
    void setWidth(double width) { width_ = width; }

private:
    std::string identifier_;
    double width_;
};

}  // namespace platform::ui
