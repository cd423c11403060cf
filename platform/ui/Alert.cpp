#include "platform/ui/Alert.hpp"

#include "platform/ui/Appearance.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/TextMeasurer.hpp"

#include <algorithm>
#include <cmath>

namespace platform::ui {

namespace {
const Selector buttonPressed = "buttonPressed:";
constexpr double panelWidth = 420;
constexpr double panelHeight = 160;
constexpr double buttonWidth = 90;
constexpr double buttonHeight = 32;
constexpr double margin = 20;
constexpr double buttonSpacing = 12;

std::vector<std::shared_ptr<Alert>>& pending() {
    static std::vector<std::shared_ptr<Alert>> alerts;
    return alerts;
}

constexpr double textSpacing = 4;
const std::string cancelTitle = "Cancel";

// The height `text` takes in `label`'s font when its words wrap at `width`.
double wrappedHeight(const std::string& text, const TextField& label, double width) {
    const TextAttributes attributes{label.font(), std::nullopt, std::nullopt, std::nullopt};
    return std::ceil(TextMeasurer::wrappedSizeOf(text, attributes, width).height);
}

// In the application's face and text colour, as its windows are.
std::shared_ptr<TextField> makeLabel(double size) {
    auto label = std::make_shared<TextField>();
    label->setEditable(false);
    label->setSelectable(false);
    label->setFont(Appearance::current().font(size));
    label->setTextColor(Appearance::current().textColor);
    return label;
}

void forget(const Alert& alert) {
    std::erase_if(pending(), [&](const auto& held) { return held.get() == &alert; });
}
}  // namespace

Alert::Alert()
    : panel_(std::make_shared<Panel>(Rect(0, 0, panelWidth, panelHeight))),
      messageLabel_(makeLabel(13)),
      informativeLabel_(makeLabel(11)) {
    panel_->setContentView(std::make_shared<View>());
    panel_->contentView()->addSubview(messageLabel_);
    panel_->contentView()->addSubview(informativeLabel_);
    setActionHandler(buttonPressed, [this](Object* sender) {
        if (const auto* button = dynamic_cast<const Button*>(sender)) answered(static_cast<ModalResponse>(button->tag()));
    });
}

void Alert::setMessageText(std::string text) {
    messageText_ = std::move(text);
    messageLabel_->setStringValue(messageText_);
    layout(panel_->frame().width());
}

void Alert::setInformativeText(std::string text) {
    informativeText_ = std::move(text);
    informativeLabel_->setStringValue(informativeText_);
    layout(panel_->frame().width());
}

std::shared_ptr<Button> Alert::addButton(const std::string& title) {
    auto button = std::make_shared<Button>();
    const Appearance& look = Appearance::current();
    button->setFont(look.font(13));
    button->setAttributedTitle(AttributedString(title, {look.font(13), look.textColor, std::nullopt, std::nullopt}));
    button->setTag(static_cast<int>(ModalResponse::alertFirstButtonReturn) + static_cast<int>(buttons_.size()));
    button->setTarget(sharedAs<Responder>(this));
    button->setAction(buttonPressed);
    // Return chooses the first button and Escape a "Cancel" one; Tab moves between them.
    button->setAcceptsFirstResponder(true);
    if (buttons_.empty()) button->setKeyEquivalent("\r");
    if (title == cancelTitle) button->setKeyEquivalent("\x1b");
    // Drawn as a rounded, outlined button; the title alone would read as a label.
    button->setWantsLayer(true);
    button->layer()->cornerRadius = 6;
    button->layer()->borderWidth = 1;
    button->layer()->borderColor = Color::systemGray();
    if (buttons_.empty()) button->layer()->borderColor = Color::controlAccent();
    buttons_.push_back(button);
    panel_->contentView()->addSubview(button);
    layout(panel_->frame().width());
    return button;
}

void Alert::prepare(double width) {
    // Escape that no button takes ends here (see `cancelOperation`).
    panel_->setNextResponder(sharedAs<Responder>(this));
    // Tab goes left to right, round again after the last; the first button, rightmost, starts.
    for (std::size_t index = 0; index < buttons_.size(); ++index) {
        buttons_[index]->setNextKeyView(buttons_[index == 0 ? buttons_.size() - 1 : index - 1]);
    }
    if (!buttons_.empty()) panel_->setInitialFirstResponder(buttons_.front());
    layout(width);
}

void Alert::layout(double width) {
    const double textWidth = width - 2 * margin;
    const double messageHeight = wrappedHeight(messageText_, *messageLabel_, textWidth);
    const double informativeHeight =
        informativeText_.empty() ? 0 : wrappedHeight(informativeText_, *informativeLabel_, textWidth);
    const double textTop = margin + buttonHeight + buttonSpacing + informativeHeight + textSpacing + messageHeight;
    const double height = std::max(panelHeight, textTop + margin);
    panel_->setFrame({panel_->frame().origin, Size{width, height}});
    const double top = height - margin;
    messageLabel_->setFrame({margin, top - messageHeight, textWidth, messageHeight});
    informativeLabel_->setFrame({margin, top - messageHeight - textSpacing - informativeHeight, textWidth, informativeHeight});
    double right = width - margin;
    for (const auto& button : buttons_) {
        button->setFrame({right - buttonWidth, margin, buttonWidth, buttonHeight});
        right -= buttonWidth + buttonSpacing;
    }
}

void Alert::cancelOperation(Object*) {
    // An alert with a single button is dismissed by Escape as well: that button is all it asks.
    if (buttons_.size() == 1) buttons_.front()->performClick(this);
}

ModalResponse Alert::runModal() {
    const auto self = sharedAs(this);
    pending().push_back(self);
    prepare(panelWidth);
    const ModalResponse response = Application::shared().runModal(*panel_);
    forget(*this);
    return response;
}

void Alert::beginSheetModal(Window& window, std::function<void(ModalResponse)> completion) {
    const auto self = sharedAs(this);
    pending().push_back(self);
    // A sheet is no wider than its window; its texts wrap to fit.
    prepare(std::min(panelWidth, window.frame().width()));
    // The queue keeps the alert alive through its completion until the answer has been given.
    window.beginSheet(panel_, [self, completion = std::move(completion)](ModalResponse response) {
        if (completion) completion(response);
    });
}

void Alert::answered(ModalResponse response) {
    const auto keepAlive = sharedAs(this);
    forget(*this);
    if (Application::shared().modalWindow() == panel_.get()) {
        Application::shared().stopModal(response);
    } else if (Window* parent = panel_->sheetParent()) {
        parent->endSheet(*panel_, response);
    }
}

std::vector<std::shared_ptr<Alert>> Alert::pendingAlerts() {
    return pending();
}

void Alert::forgetPendingAlerts() {
    pending().clear();
}

bool Alert::answer(std::size_t index) {
    if (!isShown() || index >= buttons_.size()) return false;
    const auto keepAlive = sharedAs(this);
    buttons_[index]->click();
    return std::find(pending().begin(), pending().end(), keepAlive) == pending().end();
}

bool Alert::answer(const std::string& title) {
    const auto found =
        std::find_if(buttons_.begin(), buttons_.end(), [&](const auto& button) { return button->title() == title; });
    return found != buttons_.end() && answer(static_cast<std::size_t>(found - buttons_.begin()));
}

}  // namespace platform::ui
