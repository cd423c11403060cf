#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/Button.hpp"
#include "platform/ui/ScrollView.hpp"
#include "platform/ui/TableCellView.hpp"
#include "platform/ui/TableView.hpp"

#include <gtest/gtest.h>

using corvantis::testing::shownWindow;
using platform::ui::Button;
using platform::ui::ImageView;
using platform::ui::Object;
using platform::ui::Rect;
using platform::ui::Responder;
using platform::ui::ScrollView;
using platform::ui::TableCellView;
using platform::ui::TableColumn;
using platform::ui::TableView;
using platform::ui::TextField;
using platform::ui::View;

namespace {

// A cell with a name and a star, as the city list has.
class CityCell : public TableCellView {
public:
    std::shared_ptr<TextField> name = std::make_shared<TextField>(Rect(30, 10, 200, 20));
    std::shared_ptr<Button> star = std::make_shared<Button>(Rect(260, 10, 20, 20));
    CityCell() {
        name->setEditable(false);
        name->setSelectable(false);
        addSubview(name);
        addSubview(star);
        setTextField(name);
    }
};

// The list's controller: data source and delegate, with the table's and the stars' actions.
class CityList : public Responder, public platform::ui::TableViewDataSource, public platform::ui::TableViewDelegate {
public:
    std::vector<std::string> cities{"Austria - Vienna", "Germany - Berlin", "Spain - Madrid"};
    bool selectable = true;
    std::vector<std::string> journal;

    int numberOfRows(TableView&) override { return static_cast<int>(cities.size()); }
    std::shared_ptr<View> tableView(TableView& table, TableColumn* column, int row) override {
        if (column->identifier() != "MainCell") return nullptr;
        auto cell = std::dynamic_pointer_cast<CityCell>(table.makeView("MainCell"));
        if (!cell) return nullptr;
        cell->name->setStringValue(cities.at(static_cast<std::size_t>(row)));
        cell->star->setTarget(sharedAs<Responder>(this));
        cell->star->setAction("btnFavouriteClicked:");
        return cell;
    }
    double tableView(TableView&, int) override { return 40; }
    bool selectionShouldChange(TableView&) override {
        journal.push_back("asked");
        return selectable;
    }
};

class TableViewTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<platform::ui::Window> window = shownWindow(Rect(0, 0, 300, 400));
    std::shared_ptr<ScrollView> scroll = std::make_shared<ScrollView>(Rect(0, 0, 300, 300));
    std::shared_ptr<TableView> table = std::make_shared<TableView>(Rect(0, 0, 300, 0));
    std::shared_ptr<CityList> list = std::make_shared<CityList>();
    int cellsMade = 0;

    TableViewTest() {
        window->contentView()->addSubview(scroll);
        scroll->setDocumentView(table);
        table->addTableColumn(std::make_shared<TableColumn>("MainCell"));
        table->registerCellPrototype("MainCell", [this] {
            ++cellsMade;
            return std::make_shared<CityCell>();
        });
        table->setDataSource(list);
        table->setDelegate(list);
        table->setTarget(list);
        table->setAction("mainTableClicked:");
        list->setActionHandler("mainTableClicked:",
                               [this](Object*) { list->journal.push_back("clicked " + std::to_string(table->clickedRow())); });
        list->setActionHandler("btnFavouriteClicked:", [this](Object* sender) {
            list->journal.push_back("star " + std::to_string(table->row(*dynamic_cast<View*>(sender))));
        });
        table->reloadData();
    }

    std::shared_ptr<CityCell> cell(int row) const { return std::dynamic_pointer_cast<CityCell>(table->view(0, row)); }
};

TEST_F(TableViewTest, ReloadBuildsEveryRowTopDownAtItsHeight) {
    ASSERT_EQ(table->numberOfRows(), 3);
    EXPECT_EQ(table->rect(1), Rect(0, 40, 300, 40));
    EXPECT_EQ(table->rect(3), Rect());
    ASSERT_NE(cell(2), nullptr);
    EXPECT_EQ(cell(2)->frame(), Rect(0, 80, 300, 40));
    EXPECT_EQ(cell(2)->name->stringValue(), "Spain - Madrid");
    EXPECT_EQ(cell(2)->identifier(), "MainCell");
    // At least as tall as the scroll view around it.
    EXPECT_EQ(table->frame().height(), 300);
    // Top down: the first row is at the top of the scroll view, whose top is 300 up the window.
    EXPECT_EQ(cell(0)->convert(Rect(0, 0, 300, 40), nullptr), Rect(0, 260, 300, 40));

    list->cities.pop_back();
    table->reloadData();
    EXPECT_EQ(table->numberOfRows(), 2);
    EXPECT_EQ(cellsMade, 3);  // cells are reused
    EXPECT_EQ(table->view(0, 2), nullptr);
    EXPECT_EQ(table->subviews().size(), 2u);
}

TEST_F(TableViewTest, ALongListGetsCellsForTheRowsInViewOnly) {
    list->cities.assign(1000, "Germany - Berlin");
    table->reloadData();
    ASSERT_EQ(table->numberOfRows(), 1000);
    EXPECT_EQ(table->frame().height(), 40000);
    // The scroll view is 300 high: rows 0 to 7 (the last one cut) are in view.
    EXPECT_NE(cell(7), nullptr);
    EXPECT_EQ(cell(8), nullptr);
    EXPECT_EQ(table->subviews().size(), 8u);
    EXPECT_EQ(cellsMade, 8);
    EXPECT_EQ(table->rect(999), Rect(0, 39960, 300, 40));
    // A row out of view is still clicked as if scrolled to.
    table->clickRow(500);
    EXPECT_EQ(list->journal.back(), "clicked 500");

    // Scrolled down, the rows now in view get cells once the table is clicked (or drawn), and
    // those that left give theirs for reuse.
    scroll->scrollTo(4000);
    EXPECT_EQ(cell(100), nullptr);
    cell(0)->name->setStringValue("was row 0");
    corvantis::testing::Person::mouse(platform::ui::EventType::leftMouseDown, window, {150, 150});
    corvantis::testing::Person::mouse(platform::ui::EventType::leftMouseUp, window, {150, 150});
    EXPECT_EQ(list->journal.back(), "clicked 103");
    ASSERT_NE(cell(100), nullptr);
    EXPECT_EQ(cell(0), nullptr);
    EXPECT_EQ(cell(107)->frame(), Rect(0, 4280, 300, 40));
    EXPECT_EQ(cellsMade, 8);
    cell(103)->star->click();
    EXPECT_EQ(list->journal.back(), "star 103");
}

TEST_F(TableViewTest, ARowClickAsksTheDelegateAndSetsTheClickedRowForTheAction) {
    table->clickRow(1);
    EXPECT_EQ(table->selectedRow(), 1);
    list->selectable = false;
    table->clickRow(2);
    EXPECT_EQ(table->selectedRow(), 1);  // refused
    table->clickRow(3);                  // below the last row
    EXPECT_EQ(list->journal, (std::vector<std::string>{"asked", "clicked 1", "asked", "clicked 2", "asked", "clicked -1"}));
    EXPECT_EQ(table->clickedRow(), -1);  // only during the action
}

TEST_F(TableViewTest, AControlInARowTakesItsOwnClickAndFindsItsRow) {
    cell(2)->star->click();
    EXPECT_EQ(list->journal, (std::vector<std::string>{"star 2"}));
    // A click on the row's text goes on to the table.
    cell(0)->name->click();
    EXPECT_EQ(list->journal.back(), "clicked 0");
    EXPECT_EQ(table->row(*cell(1)), 1);
    EXPECT_EQ(table->row(*scroll), -1);
    View stray;
    EXPECT_EQ(table->row(stray), -1);
}

TEST_F(TableViewTest, WithoutADataSourceTheTableIsEmpty) {
    table->setDataSource(nullptr);
    table->reloadData();
    EXPECT_EQ(table->numberOfRows(), 0);
    table->clickRow(0);
    EXPECT_EQ(list->journal.back(), "clicked -1");
    EXPECT_EQ(table->makeView("unknown"), nullptr);
}

}  // namespace

namespace {

class ScrollViewWheelTest : public corvantis::testing::UiTestCase {};

TEST_F(ScrollViewWheelTest, TheWheelMovesTheDocumentBetweenItsEnds) {
    auto window = shownWindow(Rect(0, 0, 200, 100));
    auto scroll = std::make_shared<ScrollView>(Rect(0, 0, 200, 100));
    auto document = std::make_shared<View>(Rect(0, 0, 200, 250));
    scroll->setDocumentView(document);
    window->contentView()->addSubview(scroll);
    const auto wheel = [&](double delta) {
        platform::ui::Application::shared().sendEvent(platform::ui::Event::scrollWheelEvent({100, 50}, window, delta));
    };
    wheel(-60);  // towards the person: further down the document
    EXPECT_EQ(scroll->scrollOffset(), 60);
    EXPECT_EQ(document->frame().origin.y, -60);
    wheel(-500);
    EXPECT_EQ(scroll->scrollOffset(), 150);  // the document's bottom meets the view's
    wheel(1000);
    EXPECT_EQ(scroll->scrollOffset(), 0);
}

}  // namespace
