#pragma once

#include "platform/ui/Responder.hpp"

#include <memory>

namespace platform::ui {

class Window;

// Owns one window and stands behind it; the window points back at its controller.
class WindowController : public Responder {
public:
    explicit WindowController(std::shared_ptr<Window> window = nullptr);
    ~WindowController() override;

    std::shared_ptr<Window> window() const { return window_; }
    void setWindow(std::shared_ptr<Window> window);

private:
    std::shared_ptr<Window> window_;
};

}  // namespace platform::ui
