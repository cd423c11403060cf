#include "platform/display/SavePanelPresenter.hpp"

#include "platform/ui/Alert.hpp"
#include "platform/ui/Appearance.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <cstdlib>

namespace platform::display {

namespace {
const ui::Selector saveAction = "savePanelSave:";
const ui::Selector cancelAction = "savePanelCancel:";
constexpr double margin = 20;
constexpr double labelWidth = 70;
constexpr double buttonWidth = 90;
constexpr double buttonHeight = 32;
constexpr double fieldGap = 12;
// Between the last field and the buttons.
constexpr double buttonGap = 20;

constexpr double textSize = 13;

// Labels, fields and buttons in the application's face and text colour.
std::shared_ptr<ui::TextField> textField(ui::Rect frame, const std::string& text) {
    auto field = std::make_shared<ui::TextField>(frame);
    field->setFont(ui::Appearance::current().font(textSize));
    field->setTextColor(ui::Appearance::current().textColor);
    field->setStringValue(text);
    return field;
}

std::shared_ptr<ui::TextField> label(const std::string& text, ui::Rect frame) {
    auto field = textField(frame, text);
    field->setEditable(false);
    field->setSelectable(false);
    return field;
}

// A field a person types in, boxed so that it reads as one.
std::shared_ptr<ui::TextField> entry(ui::Rect frame, const std::string& text) {
    auto field = textField(frame, text);
    field->setBezeled(true);
    return field;
}

std::shared_ptr<ui::Button> button(const std::string& title, ui::Rect frame, const ui::Selector& action,
                                   const std::shared_ptr<ui::Responder>& target) {
    auto made = std::make_shared<ui::Button>(frame);
    const ui::Appearance& look = ui::Appearance::current();
    made->setAttributedTitle(ui::AttributedString(title, {look.font(textSize), look.textColor, std::nullopt, std::nullopt}));
    made->setAction(action);
    made->setTarget(target);
    made->setWantsLayer(true);
    made->layer()->cornerRadius = 6;
    made->layer()->borderWidth = 1;
    made->layer()->borderColor = ui::Color::systemGray();
    return made;
}

bool answeredFirst(ui::Alert& alert) {
    return alert.runModal() == ui::ModalResponse::alertFirstButtonReturn;
}
}  // namespace

std::filesystem::path SavePanelPresenter::startingFolder() {
    const char* home = std::getenv("HOME");
    const std::filesystem::path base = home != nullptr ? home : "/";
    std::error_code error;
    return std::filesystem::is_directory(base / "Desktop", error) ? base / "Desktop" : base;
}

std::optional<std::filesystem::path> SavePanelPresenter::confirmedPath(const ui::SavePanel& panel,
                                                                       const std::filesystem::path& folder,
                                                                       const std::string& name) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        const auto alert = std::make_shared<ui::Alert>();
        alert->setMessageText("The folder \u201c" + folder.string() + "\u201d does not exist.");
        alert->setInformativeText("Choose another folder.");
        alert->addButton("OK");
        alert->runModal();
        return std::nullopt;
    }
    const std::string finalName = panel.nameWithAllowedType(name);
    const auto path = folder / finalName;
    if (std::filesystem::exists(path, error)) {
        const auto alert = std::make_shared<ui::Alert>();
        alert->setMessageText("\u201c" + finalName + "\u201d already exists. Do you want to replace it?");
        alert->setInformativeText("A file with the same name already exists in \u201c" + folder.filename().string() +
                                  "\u201d. Replacing it will overwrite its current contents.");
        alert->addButton("Replace");
        alert->addButton("Cancel");
        if (!answeredFirst(*alert)) return std::nullopt;
    }
    return path;
}

void SavePanelPresenter::furnish(const std::shared_ptr<ui::SavePanel>& panel) {
    if (panel->contentView()) return;
    // As high as the fields and buttons need, its top edge where it was (a sheet hangs from it).
    const double height = 2 * margin + 2 * fieldHeight + fieldGap + buttonGap + buttonHeight;
    panel->setFrame({panel->frame().minX(), panel->frame().maxY() - height, panel->frame().width(), height});
    const ui::Rect frame = panel->frame();
    const double width = frame.width();
    auto content = std::make_shared<ui::View>();
    panel->setContentView(content);
    const double fieldWidth = width - 2 * margin - labelWidth;
    double top = frame.height() - margin - fieldHeight;
    content->addSubview(label("Save As:", {margin, top, labelWidth, fieldHeight}));
    auto name = entry(ui::Rect(margin + labelWidth, top, fieldWidth, fieldHeight), panel->nameFieldStringValue());
    content->addSubview(name);
    top -= fieldHeight + fieldGap;
    content->addSubview(label("Where:", {margin, top, labelWidth, fieldHeight}));
    auto folder = entry(ui::Rect(margin + labelWidth, top, fieldWidth, fieldHeight), startingFolder().string());
    content->addSubview(folder);
    name->setNextKeyView(folder);
    folder->setNextKeyView(name);
    panel->setInitialFirstResponder(name);
    // The panel is usually on screen already (the controls come with its first X window).
    panel->makeFirstResponder(name);

    const std::weak_ptr<ui::SavePanel> weakPanel = panel;
    panel->setActionHandler(saveAction, [weakPanel, name, folder](ui::Object*) {
        const auto shown = weakPanel.lock();
        if (!shown || name->stringValue().empty()) return;
        if (const auto path = confirmedPath(*shown, folder->stringValue(), name->stringValue())) shown->ok(path->string());
    });
    panel->setActionHandler(cancelAction, [weakPanel](ui::Object*) {
        if (const auto shown = weakPanel.lock()) shown->cancel();
    });
    const auto target = std::static_pointer_cast<ui::Responder>(panel);
    // Return saves and Escape cancels, as in every dialog.
    auto save = button("Save", {width - margin - buttonWidth, margin, buttonWidth, buttonHeight}, saveAction, target);
    save->setKeyEquivalent("\r");
    save->layer()->borderColor = ui::Color::controlAccent();
    auto cancel =
        button("Cancel", {width - margin - 2 * buttonWidth - 12, margin, buttonWidth, buttonHeight}, cancelAction, target);
    cancel->setKeyEquivalent("\x1b");
    content->addSubview(save);
    content->addSubview(cancel);
}

}  // namespace platform::display
