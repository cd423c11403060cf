// The locations screen driven as a person would: tabs, search, favourite stars, row clicks and
// the server switch; the pill's geometry, the search field's layout and the search bar's look.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/AppDelegate.hpp"
#include "app/CitiesCellView.hpp"
#include "app/CountryGroups.hpp"
#include "app/FlagImages.hpp"
#include "app/MainWindow.hpp"
#include "app/SearchFieldCell.hpp"
#include "app/SearchView.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/SearchField.hpp"
#include "platform/ui/TextMeasurer.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/testing/Reset.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

using corvantis::AppDelegate;
using corvantis::CitiesCellView;
using corvantis::ConnectionState;
using corvantis::MainWindow;
using corvantis::UserSettings;
using nlohmann::json;
using platform::ui::Alert;
using platform::ui::AnimationLog;
using platform::ui::Rect;

namespace {

using Texts = std::vector<std::string>;

constexpr const char* gatewayAddress = "192.168.1.1";

// The location label's text measures 100 points; anything else 7 points per byte.
class FixedWidthMeasurer final : public platform::ui::TextMeasurer {
public:
    platform::ui::Size size(std::string_view text, const platform::ui::TextAttributes&) const override {
        return {text == "DE - Berlin" ? 100.0 : 7.0 * static_cast<double>(text.size()), 12};
    }
};

json server(const std::string& country, const std::string& city, const std::string& domain, const std::string& address) {
    return {{"country", country}, {"city", city}, {"name", domain}, {"address", address}};
}

class LocationsScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ui::testing::reset();
        // The flags the image loader would draw from the resources.
        for (const char* code : {"DE", "FR", "AX"}) platform::ui::Image::make({32, 24})->setName(code);
        AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        loadCities();
        delegate->gateway = gatewayAddress;
        auto& mainWindow = MainWindow::shared();
        mainWindow.setup(corvantis::registerMainStoryboard());
        // The popup's container holds the four screens; the locations screen is the one on top,
        // reached from the connect screen.
        popup = mainWindow.popupController->window();
        mainWindow.switchToView(corvantis::View::connectView);
        mainWindow.switchToView(corvantis::View::locationsView);
        controller().reloadTableView();
    }

    void TearDown() override {
        Alert::forgetPendingAlerts();
        platform::ui::testing::reset();
    }

    // The catalogue as a profile load hands it over; favourites come from the user defaults.
    void loadCities() {
        const json servers = json::array(
            {server("DE", "Frankfurt", "de-fra.test", "198.51.100.10"), server("DE", "Berlin", "de-ber.test", "198.51.100.11"),
             server("FR", "Paris", "fr-par.test", "198.51.100.20"), server("AX", "Mariehamn", "ax-mhq.test", "198.51.100.30"),
             server("ZZ", "Nowhere", "zz-now.test", "198.51.100.40")});
        delegate->initServers(corvantis::Server::modelsFromDictionaryArray(corvantis::CountryGroups::fromServers(servers)));
    }

    corvantis::LocationsViewController& controller() { return *MainWindow::shared().locationsViewController; }
    corvantis::LocationsView& screen() { return *MainWindow::shared().locationsView; }

    std::shared_ptr<CitiesCellView> cell(int row) {
        return std::dynamic_pointer_cast<CitiesCellView>(controller().tableView->view(0, row));
    }

    // The button of `screen` that sends `action`.
    static platform::ui::Button& buttonFor(platform::ui::View& screen, const std::string& action) {
        for (const auto& view : screen.selfAndDescendants()) {
            auto* button = dynamic_cast<platform::ui::Button*>(view.get());
            if (button && button->action() == action) return *button;
        }
        throw std::logic_error("no button sends " + action);
    }
    platform::ui::Button& searchButton() { return buttonFor(screen(), "btnSearchClick:"); }

    Texts rows() {
        Texts names;
        for (int row = 0; row < controller().tableView->numberOfRows(); ++row) names.push_back(cell(row)->txtName->stringValue());
        return names;
    }

    // Commands the helper got after the first `skipped`.
    Texts commandsAfter(std::size_t skipped) const {
        const auto all = environment.helper->commands();
        return Texts(all.begin() + static_cast<std::ptrdiff_t>(std::min(skipped, all.size())), all.end());
    }

    std::shared_ptr<Alert> shownAlert() const {
        const auto alerts = Alert::pendingAlerts();
        return alerts.size() == 1 && alerts.front()->isShown() ? alerts.front() : nullptr;
    }

    corvantis::testing::AppTestEnvironment environment;
    platform::ScopedServices measuring{[] {
        auto services = platform::Services::current();
        services.textMeasurerOverride = std::make_shared<FixedWidthMeasurer>();
        return services;
    }()};
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<platform::ui::Window> popup;
};

// Sorted by the names' bytes, as the city list is.
const Texts allCities{"France - Paris", "Germany - Berlin", "Germany - Frankfurt", "ZZ - Nowhere", "Åland Islands - Mariehamn"};

TEST_F(LocationsScreenTest, SearchIgnoresLetterCaseFindsTextAnywhereAndOverridesTheFavouritesTab) {
    EXPECT_EQ(rows(), allCities);
    screen().btnFavourites->click();
    EXPECT_EQ(rows(), Texts{}) << "no favourites yet";

    // Clicking the selected tab again changes nothing.
    screen().btnFavourites->click();
    EXPECT_FALSE(screen().allTabSelected);

    searchButton().click();
    EXPECT_FALSE(controller().viewSearchBar->isHidden());
    EXPECT_TRUE(controller().viewControls->isHidden());
    EXPECT_EQ(popup->firstResponder(), controller().searchField);
    EXPECT_EQ(AnimationLog::shared().records(controller().viewSearchBar.get()).back().duration, 1.0);
    EXPECT_EQ(controller().viewSearchBar->alphaValue(), 1.0);

    controller().searchField->type("MANY");
    EXPECT_EQ(rows(), (Texts{"Germany - Berlin", "Germany - Frankfurt"}));
    const auto fades = AnimationLog::shared().records(controller().btnCancelSearch.get());
    ASSERT_FALSE(fades.empty());
    EXPECT_EQ(fades.back().duration, 0.5);
    EXPECT_EQ(controller().btnCancelSearch->alphaValue(), 1.0);

    controller().searchField->type(
        "\x7f\x7f\x7f\x7f"
        "rank");
    EXPECT_EQ(rows(), (Texts{"Germany - Frankfurt"})) << "in the middle of a name";
    controller().searchField->type(
        "\x7f\x7f\x7f\x7f"
        "ÅLAND");
    EXPECT_EQ(rows(), (Texts{"Åland Islands - Mariehamn"}));
    controller().searchField->type(
        "\x7f\x7f\x7f\x7f\x7f"
        "aland");
    EXPECT_EQ(rows(), Texts{}) << "accents are not folded";

    // Clearing the text lists every city and hides the cancel button at once.
    controller().searchField->type("\x7f\x7f\x7f\x7f\x7f");
    EXPECT_EQ(rows(), allCities);
    EXPECT_EQ(controller().btnCancelSearch->alphaValue(), 0.0);
    EXPECT_FALSE(AnimationLog::shared().isAnimating(controller().btnCancelSearch.get(), "alphaValue"));

    // A tab change closes the search bar and clears its text.
    controller().searchField->type("par");
    screen().btnAll->click();
    EXPECT_TRUE(controller().viewSearchBar->isHidden());
    EXPECT_FALSE(controller().viewControls->isHidden());
    EXPECT_EQ(controller().searchField->stringValue(), "");
    EXPECT_EQ(rows(), allCities);
}

TEST_F(LocationsScreenTest, AStarIsStoredUnderTheDomainSurvivesARebuildAndLeavesTheFavouritesTabAtOnce) {
    const auto defaults = platform::foundation::UserDefaults::standard();
    cell(1)->btnFavourite->click();
    EXPECT_EQ(defaults->string("de-ber.test"), "true");
    EXPECT_EQ(cell(1)->btnFavourite->image(), platform::ui::Image::named("FavouriteActive"));

    loadCities();
    controller().reloadTableView();
    screen().btnFavourites->click();
    ASSERT_EQ(rows(), (Texts{"Germany - Berlin"}));
    EXPECT_EQ(cell(0)->btnFavourite->image(), platform::ui::Image::named("FavouriteActive"));

    cell(0)->btnFavourite->click();
    EXPECT_EQ(rows(), Texts{});
    EXPECT_FALSE(defaults->string("de-ber.test"));
    screen().btnAll->click();
    EXPECT_EQ(cell(1)->btnFavourite->image(), platform::ui::Image::named("FavouriteInactive"));
}

TEST_F(LocationsScreenTest, RowsShowTheirFlagOrThePlaceholderAndAreNeverSelected) {
    EXPECT_EQ(cell(1)->imgFlag->image(), platform::ui::Image::named("DE"));
    EXPECT_EQ(cell(4)->imgFlag->image()->name(), "AX");
    EXPECT_EQ(cell(3)->imgFlag->image()->name(), corvantis::FlagImages::placeholderName);
    EXPECT_EQ(controller().tableView->rect(1).height(), 40);

    controller().tableView->clickRow(1);
    EXPECT_EQ(controller().tableView->selectedRow(), -1);
}

TEST_F(LocationsScreenTest, ARowClickWhileDisconnectedSwitchesAtOnceInOrder) {
    UserSettings::setHostname("de-fra.test");
    const auto before = environment.helper->commands().size();
    controller().tableView->clickRow(1);
    EXPECT_EQ(shownAlert(), nullptr);
    // The old server's route goes before the hostname changes, the new one's comes after.
    const Texts routes = commandsAfter(before);
    ASSERT_GE(routes.size(), 2u);
    EXPECT_EQ(routes[0], "route -n delete 198.51.100.10 192.168.1.1");
    EXPECT_EQ(routes[1], "route -n add -net 198.51.100.11 192.168.1.1");
    EXPECT_EQ(UserSettings::hostname(), "de-ber.test");
    EXPECT_TRUE(screen().isHidden()) << "the connect screen took its place";
}

TEST_F(LocationsScreenTest, ARowClickWhileConnectedAsksFirst) {
    UserSettings::setHostname("de-fra.test");
    MainWindow::shared().connectView->connectionState = ConnectionState::connected;
    const auto before = environment.helper->commands().size();

    controller().tableView->clickRow(1);
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->messageText(), "Do you want to connect to this server?");
    EXPECT_EQ(alert->informativeText(), "Your current location will be disconnected");
    ASSERT_TRUE(alert->answer("Cancel"));
    environment.runMainQueue();
    EXPECT_EQ(UserSettings::hostname(), "de-fra.test");
    EXPECT_EQ(commandsAfter(before), Texts{});
    EXPECT_FALSE(screen().isHidden());

    controller().tableView->clickRow(1);
    alert = shownAlert();
    ASSERT_TRUE(alert);
    ASSERT_TRUE(alert->answer("Connect"));
    environment.runMainQueue();
    EXPECT_EQ(UserSettings::hostname(), "de-ber.test");
    const Texts routes = commandsAfter(before);
    ASSERT_GE(routes.size(), 2u);
    EXPECT_EQ(routes[0], "route -n delete 198.51.100.10 192.168.1.1");
    EXPECT_EQ(routes[1], "route -n add -net 198.51.100.11 192.168.1.1");
    EXPECT_TRUE(screen().isHidden());
}

TEST_F(LocationsScreenTest, ClicksOutsideTheActiveListAreIgnored) {
    UserSettings::setHostname("de-fra.test");
    const auto before = environment.helper->commands().size();
    controller().tableView->clickRow(-1);
    controller().tableView->clickRow(5);  // below the last row

    // The list shrinks behind the table's back: its last rows no longer exist.
    delegate->allCities->resize(2);
    controller().tableView->clickRow(4);
    cell(4)->btnFavourite->click();

    EXPECT_EQ(UserSettings::hostname(), "de-fra.test");
    EXPECT_EQ(commandsAfter(before), Texts{});
    EXPECT_FALSE(platform::foundation::UserDefaults::standard()->string("ax-mhq.test"));
    EXPECT_FALSE(screen().isHidden());
}

TEST_F(LocationsScreenTest, ThePillFitsItsLabelAndIsCentred) {
    screen().lblLocation->setStringValue("DE - Berlin");
    screen().alignLocationLabel();
    EXPECT_EQ(screen().lblLocation->frame().width(), 103.0);
    EXPECT_EQ(screen().viewLocation->frame().width(), 130.0);
    EXPECT_EQ(screen().viewLocation->frame().minX(), 85.0);
}

TEST_F(LocationsScreenTest, ShowingTheScreenComesBackOnAllCitiesFromFavouritesButKeepsAnOpenSearch) {
    UserSettings::setHostname("de-ber.test");
    screen().btnFavourites->click();
    screen().hide();
    EXPECT_TRUE(screen().isHidden());
    EXPECT_EQ(screen().alphaValue(), 0.0);
    EXPECT_TRUE(screen().tableScrollView->isHidden());

    screen().show();
    EXPECT_FALSE(screen().isHidden());
    EXPECT_EQ(AnimationLog::shared().records(&screen()).back().duration, 0.7);
    EXPECT_TRUE(screen().allTabSelected);
    EXPECT_EQ(rows(), allCities);
    EXPECT_EQ(screen().lblLocation->stringValue(), "DE - Berlin");
    EXPECT_EQ(screen().viewLocation->frame().minX(), 85.0) << "the pill is centred again";

    searchButton().click();
    controller().searchField->type("par");
    screen().hide();
    screen().show();
    EXPECT_FALSE(controller().viewSearchBar->isHidden());
    EXPECT_EQ(controller().searchField->stringValue(), "par");
    EXPECT_EQ(rows(), (Texts{"France - Paris"}));

    buttonFor(screen(), "btnBackButtonClick:").click();
    EXPECT_TRUE(screen().isHidden()) << "back on the connect screen";
}

TEST_F(LocationsScreenTest, ANewSearchAfterAScrollDownTheWholeCatalogueShowsItsFirstMatchesAtTheTop) {
    // A catalogue of 10,000 servers, as a large account gets it.
    json servers = json::array();
    for (int index = 0; index < 10000; ++index) {
        char city[16];
        std::snprintf(city, sizeof city, "City %04d", index);
        servers.push_back(server("ZZ", city, "zz-" + std::to_string(index) + ".test",
                                 "10.1." + std::to_string(index / 250) + "." + std::to_string(index % 250 + 1)));
    }
    delegate->initServers(corvantis::Server::modelsFromDictionaryArray(corvantis::CountryGroups::fromServers(servers)));
    controller().reloadTableView();
    auto& table = *controller().tableView;
    ASSERT_EQ(table.numberOfRows(), 10000);

    // The person scrolls far down the list, then searches.
    const auto scroll = screen().tableScrollView;
    const auto middle = scroll->convert(platform::ui::Point{scroll->bounds().midX(), scroll->bounds().midY()}, nullptr);
    platform::ui::Application::shared().sendEvent(platform::ui::Event::scrollWheelEvent(middle, popup, -300000));
    ASSERT_GT(scroll->scrollOffset(), 200000);
    searchButton().click();
    controller().searchField->type("City 1");
    ASSERT_EQ(table.numberOfRows(), 1000);

    // The first matches fill the visible rows, from the top.
    ASSERT_TRUE(cell(0)) << "the first match is in view";
    const Rect shown = cell(0)->convert(cell(0)->bounds(), scroll.get());
    EXPECT_EQ(shown.minY(), 0) << "at the top of the list";
    EXPECT_EQ(cell(0)->txtName->stringValue(), "ZZ - City 1000");
    ASSERT_TRUE(cell(5));
    EXPECT_EQ(cell(5)->txtName->stringValue(), "ZZ - City 1005");
}

TEST_F(LocationsScreenTest, TabTitlesAreWhiteWhenSelectedAndAccentBlueOtherwise) {
    const auto colour = [](const platform::ui::Button& tab) { return tab.attributedTitle().attributes(0).foregroundColor; };
    const auto blue = platform::ui::Color::sRGB(31 / 255.0, 102 / 255.0, 251 / 255.0, 1.0);
    EXPECT_EQ(colour(*screen().btnAll), platform::ui::Color::white());
    EXPECT_EQ(colour(*screen().btnFavourites), blue);
    EXPECT_EQ(screen().btnAll->attributedTitle().attributes(0).paragraphStyle->alignment, platform::ui::TextAlignment::center);
    screen().btnFavourites->click();
    EXPECT_EQ(colour(*screen().btnAll), blue);
    EXPECT_EQ(colour(*screen().btnFavourites), platform::ui::Color::white());
    EXPECT_EQ(screen().btnFavourites->image(), platform::ui::Image::named("TabsActiveRight"));
}

TEST(SearchBar, TheFieldsRectanglesComeFromItsFrameItsButtonFromSetUIAndTheBarKeepsOneBorder) {
    platform::ui::SearchField field(Rect(10, 10, 200, 28));
    auto cell = std::make_shared<corvantis::SearchFieldCell>();
    field.setCell(cell);
    for (const Rect bounds : {Rect(0, 0, 200, 28), Rect(5, 5, 50, 50)}) {
        EXPECT_EQ(cell->searchTextRect(bounds), Rect(0, 0, 180, 40));
        EXPECT_EQ(cell->searchButtonRect(bounds), Rect(180, 0, 20, 0));
    }

    platform::ui::testing::reset();
    platform::ui::Image::make({18, 18})->setName("SearchIcon");
    cell->setUI();
    EXPECT_EQ(cell->searchButtonCell()->image(), platform::ui::Image::named("SearchIcon"));
    EXPECT_EQ(cell->searchButtonCell()->alternateImage(), platform::ui::Image::named("SearchIcon"));
    EXPECT_EQ(cell->searchButtonCell()->image()->size(), (platform::ui::Size{17.6, 20}));
    EXPECT_EQ(cell->searchButtonCell()->backgroundColor(), platform::ui::Color::clear());
    platform::ui::testing::reset();

    corvantis::SearchView bar(Rect(0, 0, 260, 28));
    platform::ui::RecordingGraphicsContext context;
    bar.draw(context, bar.bounds());
    bar.draw(context, bar.bounds());
    ASSERT_TRUE(bar.layer());
    EXPECT_EQ(bar.layer()->borderWidth, 1.0);
    EXPECT_EQ(bar.layer()->cornerRadius, 4.0);
    EXPECT_EQ(bar.layer()->borderColor, platform::ui::Color::generic(213 / 255.0, 213 / 255.0, 213 / 255.0, 1.0));
}

}  // namespace
