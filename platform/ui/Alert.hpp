#pragma once

#include "platform/ui/Button.hpp"
#include "platform/ui/ModalResponse.hpp"
#include "platform/ui/Panel.hpp"
#include "platform/ui/Responder.hpp"
#include "platform/ui/TextField.hpp"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

// How serious an alert looks, with AppKit's raw values.
enum class AlertStyle : int { warning = 0, informational = 1, critical = 2 };

// A question to the person, with one or more buttons; the first button added answers
// `alertFirstButtonReturn` (1000), the next 1001, and so on. An alert runs either modally
// (`runModal`, answered through the application's modal handler) or as a sheet on a window
// (`beginSheetModal`, which returns at once; the completion runs on the main queue once the
// person has answered). Alerts live in `std::shared_ptr`s; a pending one keeps itself alive.
//
// A person answers by clicking one of the alert's buttons, or with the keyboard: Return chooses
// the button with the focus ring, at first the first button (the default, drawn in the accent
// colour), Escape a button titled "Cancel" (or the only button), Tab and Shift-Tab move the
// focus ring between the buttons and Space clicks the one that has it. `pendingAlerts` and `answer` are the drivers that tests
// use.
class Alert : public Responder {
public:
    Alert();

    // Both texts are shown in the panel as labels above the buttons.
    const std::string& messageText() const { return messageText_; }
    void setMessageText(std::string text);
    const std::string& informativeText() const { return informativeText_; }
    void setInformativeText(std::string text);
    AlertStyle alertStyle() const { return style_; }
    void setAlertStyle(AlertStyle style) { style_ = style; }

    // Adds a button (to the left of those before it) and returns it.
    std::shared_ptr<Button> addButton(const std::string& title);
    const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }
    // The panel the alert is shown in.
    std::shared_ptr<Panel> window() const { return panel_; }

    // Shows the alert modally and returns the answer: the chosen button's response, or abort
    // when nobody answered (no modal handler installed, or it clicked nothing).
    ModalResponse runModal();
    // Queues the alert as a sheet on `window` and returns at once.
    void beginSheetModal(Window& window, std::function<void(ModalResponse)> completion);

    // ---- Drivers
    // The alerts begun and not yet answered (modal ones while they run, sheets shown or
    // queued), oldest first.
    static std::vector<std::shared_ptr<Alert>> pendingAlerts();
    // Forgets every pending alert (used between tests).
    static void forgetPendingAlerts();
    // Whether the alert is on screen now (a queued sheet is not yet).
    bool isShown() const { return panel_->isVisible(); }
    // Clicks the button at `index` (0 for the first added) or the one titled `title`, as a person
    // would; false when the alert is not shown or has no such button.
    bool answer(std::size_t index);
    bool answer(const std::string& title);

    // Escape that no "Cancel" button took: a lone button answers it.
    void cancelOperation(Object* sender) override;

private:
    // Readies the panel to be shown `width` wide: keyboard order, then `layout`.
    void prepare(double width);
    // Texts above the buttons, wrapped at the width; the panel grows to hold them.
    void layout(double width);
    void answered(ModalResponse response);

    std::string messageText_;
    std::string informativeText_;
    AlertStyle style_ = AlertStyle::warning;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::shared_ptr<Panel> panel_;
    std::shared_ptr<TextField> messageLabel_;
    std::shared_ptr<TextField> informativeLabel_;
};

}  // namespace platform::ui
