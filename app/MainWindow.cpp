#include "app/MainWindow.hpp"

namespace corvantis {

MainWindow& MainWindow::shared() {
    static MainWindow window;
    return window;
}

void MainWindow::resetShared() {
    shared() = MainWindow();
}

}  // namespace corvantis
