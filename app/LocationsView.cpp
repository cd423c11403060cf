#include "app/LocationsView.hpp"

#include "app/FontHelper.hpp"
#include "app/MainWindow.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/TextMeasurer.hpp"

namespace corvantis {

namespace ui = platform::ui;

namespace {

constexpr double fadeDuration = 0.7;
constexpr double tabFontSize = 12;

// `title` in `attributes`, centred by `paragraph` over the whole text.
ui::AttributedString tabTitle(const ui::Button& button, const ui::TextAttributes& attributes,
                              const ui::ParagraphStyle& paragraph) {
    ui::AttributedString title(button.title(), attributes);
    if (const auto whole = title.rangeOf(button.title())) {
        ui::TextAttributes centred;
        centred.paragraphStyle = paragraph;
        title.addAttributes(centred, *whole);
    }
    return title;
}

ui::TextAttributes labelAttributes(const ui::Color& colour) {
    ui::TextAttributes attributes;
    attributes.foregroundColor = colour;
    attributes.font = montserratMediumFont(tabFontSize);
    return attributes;
}

}  // namespace

LocationsView::LocationsView(ui::Rect frame)
    : View(frame),
      tabLeftActiveImage(ui::Image::named("TabsActiveLeft")),
      tabRightActiveImage(ui::Image::named("TabsActiveRight")),
      tabLeftInactiveImage(ui::Image::named("TabsInactiveLeft")),
      tabRightInactiveImage(ui::Image::named("TabsInactiveRight")) {
    setActionHandler("btnAllClick:", [this](ui::Object* sender) { btnAllClick(sender); });
    setActionHandler("btnFavouritesClick:", [this](ui::Object* sender) { btnFavouritesClick(sender); });
    setActionHandler("btnBackButtonClick:", [this](ui::Object* sender) { btnBackButtonClick(sender); });
}

void LocationsView::viewDidMoveToSuperview() {
    inactiveLabelAttr = labelAttributes(ui::Color::sRGB(31 / 255.0, 102 / 255.0, 251 / 255.0, 1.0));
    activeLabelAttr = labelAttributes(ui::Color::white());
    paragraph.alignment = ui::TextAlignment::center;
    activeAppTitle = tabTitle(*btnAll, *activeLabelAttr, paragraph);
    activeAccountTitle = tabTitle(*btnFavourites, *activeLabelAttr, paragraph);
    inactiveAppTitle = tabTitle(*btnAll, *inactiveLabelAttr, paragraph);
    inactiveAccountTitle = tabTitle(*btnFavourites, *inactiveLabelAttr, paragraph);
    btnAll->setAttributedTitle(*activeAppTitle);
    btnFavourites->setAttributedTitle(*inactiveAccountTitle);
}

void LocationsView::show() {
    auto& window = MainWindow::shared();
    window.changeShowedLocation();
    setHidden(false);
    tableScrollView->setHidden(false);
    ui::AnimationContext::runAnimationGroup(fadeDuration, [this] {
        animator().setAlphaValue(1.0);
        tableScrollView->animator().setAlphaValue(1.0);
    });
    window.reloadServersListView();
    btnAllClick(this);
}

void LocationsView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
    tableScrollView->setHidden(true);
    tableScrollView->setAlphaValue(0.0);
}

void LocationsView::btnAllClick(ui::Object*) {
    if (allTabSelected) return;
    MainWindow::shared().locationsViewController->resetSearchField();
    allTabSelected = true;
    btnAll->setImage(tabLeftActiveImage);
    btnFavourites->setImage(tabRightInactiveImage);
    btnAll->setAttributedTitle(*activeAppTitle);
    btnFavourites->setAttributedTitle(*inactiveAccountTitle);
    MainWindow::shared().reloadServersListView();
}

void LocationsView::btnFavouritesClick(ui::Object*) {
    if (!allTabSelected) return;
    MainWindow::shared().locationsViewController->resetSearchField();
    allTabSelected = false;
    btnAll->setImage(tabLeftInactiveImage);
    btnFavourites->setImage(tabRightActiveImage);
    btnAll->setAttributedTitle(*inactiveAppTitle);
    btnFavourites->setAttributedTitle(*activeAccountTitle);
    MainWindow::shared().reloadServersListView();
}

void LocationsView::btnBackButtonClick(ui::Object*) {
    MainWindow::shared().switchToView(corvantis::View::connectView);
}

void LocationsView::alignLocationLabel() {
    ui::TextAttributes measured;
    measured.font = montserratMediumFont(tabFontSize);
    const double width = ui::TextMeasurer::sizeOf(lblLocation->stringValue(), measured).width;
    auto label = lblLocation->frame();
    label.size.width = width + 3.0;
    lblLocation->setFrame(label);
    auto pill = viewLocation->frame();
    pill.size.width = label.width() + 27.0;
    pill.origin.x = frame().width() / 2 + pill.width() / -2.0;
    viewLocation->setFrame(pill);
}

}  // namespace corvantis
