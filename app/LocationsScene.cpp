#include "app/LocationsScene.hpp"

#include "app/CitiesCellView.hpp"
#include "app/FlagImages.hpp"
#include "app/FontHelper.hpp"
#include "app/LocationsView.hpp"
#include "app/LocationsViewController.hpp"
#include "app/SearchFieldCell.hpp"
#include "app/SearchView.hpp"
#include "platform/ui/SearchField.hpp"

namespace corvantis {

namespace ui = platform::ui;

namespace {

const ui::Size screenSize{300, 400};
const ui::Color darkText = ui::Color::sRGB(37 / 255.0, 47 / 255.0, 88 / 255.0, 1.0);

// The screen's images, drawn from the resources' "images" folder by the image loader. Without
// one (no display), each name stands for a transparent image of its size, so that a star's
// state can still be read from its image.
void registerImages() {
    const std::pair<const char*, ui::Size> images[] = {
        {"TabsActiveLeft", {150, 32}},   {"TabsActiveRight", {150, 32}},
        {"TabsInactiveLeft", {150, 32}}, {"TabsInactiveRight", {150, 32}},
        {"FavouriteActive", {16, 16}},   {"FavouriteInactive", {16, 16}},
        {"SearchIcon", {18, 18}},        {"BackArrow", {20, 20}},
        {"CancelSearch", {14, 14}},      {FlagImages::placeholderName, {24, 18}},
    };
    for (const auto& [name, size] : images) {
        if (!ui::Image::named(name)) ui::Image::make(size)->setName(name);
    }
}

std::shared_ptr<ui::Button> imageButton(ui::Rect frame, const char* image, const char* action,
                                        const std::shared_ptr<ui::Responder>& target) {
    auto button = std::make_shared<ui::Button>(frame);
    button->setImage(ui::Image::named(image));
    button->setAction(action);
    button->setTarget(target);
    return button;
}

std::shared_ptr<ui::Button> tab(ui::Rect frame, std::string_view title, const char* image, const char* action,
                                const std::shared_ptr<ui::Responder>& target) {
    auto button = imageButton(frame, image, action, target);
    button->setFont(montserratMediumFont(12));
    button->setTitle(title);
    return button;
}

std::shared_ptr<ui::TextField> label(ui::Rect frame) {
    auto field = std::make_shared<ui::TextField>(frame);
    field->setEditable(false);
    field->setSelectable(false);
    field->setFont(montserratMediumFont(12));
    field->setTextColor(darkText);
    return field;
}

// The pill with the saved location's short name, at the top centre.
void addLocationPill(LocationsView& view) {
    view.viewLocation = std::make_shared<ui::View>(ui::Rect(85, 360, 130, 28));
    view.viewLocation->setWantsLayer(true);
    view.viewLocation->layer()->cornerRadius = 14;
    view.viewLocation->layer()->backgroundColor = ui::Color::sRGB(31 / 255.0, 102 / 255.0, 251 / 255.0, 0.1);
    view.lblLocation = label(ui::Rect(12, 5, 103, 18));
    view.viewLocation->addSubview(view.lblLocation);
    view.addSubview(view.viewLocation);
}

// The two tabs, always shown.
void addTabs(LocationsView& view) {
    const auto screen = std::static_pointer_cast<ui::Responder>(view.sharedView());
    view.btnAll = tab(ui::Rect(20, 322, 130, 28), "All", "TabsActiveLeft", "btnAllClick:", screen);
    view.btnFavourites = tab(ui::Rect(150, 322, 130, 28), "Favourites", "TabsInactiveRight", "btnFavouritesClick:", screen);
    view.addSubview(view.btnAll);
    view.addSubview(view.btnFavourites);
}

// The strip with the search button, which the search bar replaces while it is open.
void addControls(LocationsView& view, LocationsViewController& owner) {
    const auto controller = std::static_pointer_cast<ui::Responder>(owner.shared_from_this());
    auto strip = std::make_shared<ui::View>(ui::Rect(0, 280, screenSize.width, 36));
    strip->addSubview(imageButton(ui::Rect(262, 9, 18, 18), "SearchIcon", "btnSearchClick:", controller));
    owner.viewControls = strip;
    view.addSubview(strip);
}

// The search bar in the strip's place: closed, transparent, its cancel button transparent too.
void addSearchBar(LocationsView& view, LocationsViewController& owner) {
    const auto controller = std::static_pointer_cast<ui::Responder>(owner.shared_from_this());
    auto bar = std::make_shared<SearchView>(ui::Rect(20, 284, 260, 28));
    auto field = std::make_shared<ui::SearchField>(ui::Rect(8, 0, 220, 28));
    field->setCell(std::make_shared<SearchFieldCell>());
    field->setFont(montserratMediumFont(12));
    field->setTextColor(darkText);
    field->setPlaceholderString("Search");
    field->setDelegate(std::dynamic_pointer_cast<ui::TextFieldDelegate>(owner.shared_from_this()));
    field->setAction("searchServers:");
    field->setTarget(controller);
    auto cancel = imageButton(ui::Rect(238, 7, 14, 14), "CancelSearch", "btnCancelClick:", controller);
    cancel->setAlphaValue(0.0);
    bar->addSubview(field);
    bar->addSubview(cancel);
    bar->setHidden(true);
    owner.viewSearchBar = bar;
    owner.searchField = field;
    owner.btnCancelSearch = cancel;
    view.addSubview(bar);
}

// The city table in its scroll view: one "MainCell" column, rows that send the table's action.
void addTable(LocationsView& view, LocationsViewController& owner) {
    const ui::Rect frame(0, 0, screenSize.width, 276);
    auto scroll = std::make_shared<ui::ScrollView>(frame);
    auto table = std::make_shared<ui::TableView>(ui::Rect(0, 0, frame.width(), frame.height()));
    table->addTableColumn(std::make_shared<ui::TableColumn>("MainCell", frame.width()));
    table->registerCellPrototype("MainCell", [] { return std::make_shared<CitiesCellView>(); });
    table->setRowHeight(40);
    table->setDelegate(std::dynamic_pointer_cast<ui::TableViewDelegate>(owner.shared_from_this()));
    table->setTarget(std::static_pointer_cast<ui::Responder>(owner.shared_from_this()));
    table->setAction("mainTableClicked:");
    scroll->setDocumentView(table);
    view.tableScrollView = scroll;
    owner.tableView = table;
    view.addSubview(scroll);
}

}  // namespace

std::shared_ptr<LocationsView> LocationsScene::loadView(LocationsViewController& owner) {
    registerImages();
    auto view = std::make_shared<LocationsView>(ui::Rect(ui::Point{}, screenSize));
    addLocationPill(*view);
    addTabs(*view);
    addControls(*view, owner);
    addSearchBar(*view, owner);
    addTable(*view, owner);
    view->addSubview(imageButton(ui::Rect(14, 364, 20, 20), "BackArrow", "btnBackButtonClick:", view));
    return view;
}

}  // namespace corvantis
