#include "platform/ui/Alert.hpp"

#include "platform/ui/Appearance.hpp"
#include "platform/ui/Application.hpp"

#include <algorithm>

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

constexpr double messageHeight = 22;

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
    const double textWidth = panelWidth - 2 * margin;
    messageLabel_->setFrame({margin, panelHeight - margin - messageHeight, textWidth, messageHeight});
    const double informativeTop = messageLabel_->frame().minY() - 4;
    const double informativeBottom = margin + buttonHeight + buttonSpacing;
    informativeLabel_->setFrame({margin, informativeBottom, textWidth, informativeTop - informativeBottom});
    panel_->contentView()->addSubview(messageLabel_);
    panel_->contentView()->addSubview(informativeLabel_);
    setActionHandler(buttonPressed, [this](Object* sender) {
        if (const auto* button = dynamic_cast<const Button*>(sender)) answered(static_cast<ModalResponse>(button->tag()));
    });
}

void Alert::setMessageText(std::string text) {
    messageText_ = std::move(text);
    messageLabel_->setStringValue(messageText_);
}

void Alert::setInformativeText(std::string text) {
    informativeText_ = std::move(text);
    informativeLabel_->setStringValue(informativeText_);
}

std::shared_ptr<Button> Alert::addButton(const std::string& title) {
    auto button = std::make_shared<Button>();
    const Appearance& look = Appearance::current();
    button->setFont(look.font(13));
    button->setAttributedTitle(AttributedString(title, {look.font(13), look.textColor, std::nullopt, std::nullopt}));
    button->setTag(static_cast<int>(ModalResponse::alertFirstButtonReturn) + static_cast<int>(buttons_.size()));
    button->setTarget(sharedAs<Responder>(this));
    button->setAction(buttonPressed);
    // Drawn as a rounded, outlined button; the title alone would read as a label.
    button->setWantsLayer(true);
    button->layer()->cornerRadius = 6;
    button->layer()->borderWidth = 1;
    button->layer()->borderColor = Color::systemGray();
    buttons_.push_back(button);
    panel_->contentView()->addSubview(button);
    layout();
    return button;
}

void Alert::layout() {
    double right = panelWidth - margin;
    for (const auto& button : buttons_) {
        button->setFrame({right - buttonWidth, margin, buttonWidth, buttonHeight});
        right -= buttonWidth + buttonSpacing;
    }
}

ModalResponse Alert::runModal() {
    const auto self = sharedAs(this);
    pending().push_back(self);
    const ModalResponse response = Application::shared().runModal(*panel_);
    forget(*this);
    return response;
}

void Alert::beginSheetModal(Window& window, std::function<void(ModalResponse)> completion) {
    const auto self = sharedAs(this);
    pending().push_back(self);
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
