#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/ClickGestureRecognizer.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/StatusBarButton.hpp"
#include "platform/ui/TextField.hpp"

#include <gtest/gtest.h>

using corvantis::testing::Person;
using corvantis::testing::shownWindow;
using platform::ui::AttributedString;
using platform::ui::Button;
using platform::ui::ButtonCell;
using platform::ui::ButtonType;
using platform::ui::ClickGestureRecognizer;
using platform::ui::ControlStateValue;
using platform::ui::EventType;
using platform::ui::GraphicsContext;
using platform::ui::Image;
using platform::ui::Object;
using platform::ui::ParagraphStyle;
using platform::ui::RecordingGraphicsContext;
using platform::ui::Rect;
using platform::ui::Responder;
using platform::ui::Size;
using platform::ui::StatusBarButton;
using platform::ui::TextAlignment;
using platform::ui::TextAttributes;
using platform::ui::TextField;
using platform::ui::View;
using platform::ui::Window;

namespace {

class ControlTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<Window> window = shownWindow(Rect(0, 0, 300, 200));
    std::shared_ptr<Responder> screen = std::make_shared<Responder>();
    std::vector<std::string> actions;

    std::shared_ptr<Button> button(const std::string& name, Rect frame, ButtonType type = ButtonType::momentaryPushIn) {
        auto made = std::make_shared<Button>(frame);
        made->setButtonType(type);
        made->setTarget(screen);
        made->setAction(name + "Click:");
        screen->setActionHandler(name + "Click:", [this, name](Object*) { actions.push_back(name); });
        window->contentView()->addSubview(made);
        return made;
    }
};

TEST_F(ControlTest, ADisabledButtonIgnoresPerformClickAndClicks) {
    auto login = button("login", Rect(10, 10, 100, 30));
    login->performClick(nullptr);
    login->setEnabled(false);
    login->performClick(nullptr);
    login->click();
    EXPECT_EQ(actions, (std::vector<std::string>{"login"}));
    login->setEnabled(true);
    login->click();
    EXPECT_EQ(actions.size(), 2u);
    EXPECT_FALSE(login->isHighlighted());
}

TEST_F(ControlTest, AClickIsAPressAndAReleaseInsideAndHighlightsInBetween) {
    auto connect = button("connect", Rect(10, 10, 100, 30));
    Person::mouse(EventType::leftMouseDown, window, {20, 20});
    EXPECT_TRUE(connect->isHighlighted());
    EXPECT_TRUE(actions.empty());
    Person::mouse(EventType::leftMouseUp, window, {200, 150});  // released outside: no click
    EXPECT_FALSE(connect->isHighlighted());
    EXPECT_TRUE(actions.empty());
    Person::mouse(EventType::leftMouseDown, window, {20, 20});
    Person::mouse(EventType::leftMouseUp, window, {100, 39});
    EXPECT_EQ(actions, (std::vector<std::string>{"connect"}));

    // An animation view added last but placed below by its layer's z position leaves the click
    // to the button.
    auto behind = std::make_shared<platform::animation::AnimationView>(nullptr, Rect(0, 0, 300, 200));
    ASSERT_TRUE(behind->layer());
    behind->layer()->zPosition = -1000;
    window->contentView()->addSubview(behind);
    connect->click();
    EXPECT_EQ(actions.size(), 2u);

    // Whatever lies on top takes a person's click.
    auto cover = std::make_shared<View>(Rect(0, 0, 300, 200));
    window->contentView()->addSubview(cover);
    connect->click();
    EXPECT_EQ(actions.size(), 2u);
}

TEST_F(ControlTest, CheckBoxesToggleAndRadiosTurnOnWithoutGrouping) {
    auto killSwitch = button("killSwitch", Rect(0, 0, 20, 20), ButtonType::switchButton);
    auto udp = button("udp", Rect(0, 30, 20, 20), ButtonType::radio);
    auto tcp = button("tcp", Rect(0, 60, 20, 20), ButtonType::radio);
    // The state has changed when the action runs.
    std::vector<ControlStateValue> seen;
    screen->setActionHandler("killSwitchClick:", [&](Object*) { seen.push_back(killSwitch->state()); });

    killSwitch->click();
    killSwitch->performClick(nullptr);
    EXPECT_EQ(seen, (std::vector<ControlStateValue>{ControlStateValue::on, ControlStateValue::off}));

    udp->click();
    tcp->click();
    tcp->click();
    EXPECT_EQ(udp->state(), ControlStateValue::on);  // its action would turn it off
    EXPECT_EQ(tcp->state(), ControlStateValue::on);
    EXPECT_EQ(platform::ui::controlStateValueFromRaw(1), ControlStateValue::on);
    EXPECT_EQ(platform::ui::controlStateValueFromRaw(2), std::nullopt);
}

// A cell that widens and lowers the title frame, as the location button's does.
class WideningCell : public ButtonCell {
public:
    std::vector<Rect> frames;
    Rect drawTitle(GraphicsContext& context, const AttributedString& title, const Rect& frame, View& view) override {
        Rect adjusted = frame;
        adjusted.size.height -= 1;
        frames.push_back(adjusted);
        return ButtonCell::drawTitle(context, title, adjusted, view);
    }
};

TEST_F(ControlTest, TheCellDrawsBackgroundImageAndTitleThroughItsOverridableTitleDrawing) {
    auto location = button("location", Rect(0, 0, 90, 30));
    auto cell = std::make_shared<WideningCell>();
    location->setCell(cell);
    location->setFont(platform::ui::Font::system(12));
    location->setTitle("Germany - Berlin");
    measurer->widths["Germany - Berlin"] = 60;
    auto normal = Image::make(Size{10, 10});
    auto pressed = Image::make(Size{10, 10});
    location->setImage(normal);
    location->setAlternateImage(pressed);
    cell->setBackgroundColor(platform::ui::Color::clear());

    RecordingGraphicsContext context;
    location->draw(context, location->bounds());
    location->highlight(true);
    location->draw(context, location->bounds());

    ASSERT_EQ(cell->frames.size(), 2u);
    EXPECT_EQ(cell->frames[0], Rect(0, 0, 90, 29));
    const auto& operations = context.operations();
    ASSERT_EQ(operations.size(), 6u);
    EXPECT_TRUE(std::holds_alternative<RecordingGraphicsContext::FillRect>(operations[0]));
    EXPECT_EQ(std::get<RecordingGraphicsContext::DrawImage>(operations[1]).image, normal);
    const auto& title = std::get<RecordingGraphicsContext::DrawText>(operations[2]);
    EXPECT_EQ(title.text.string(), "Germany - Berlin");
    EXPECT_EQ(title.rect.origin.x, 15);  // centred: (90 - 60) / 2
    EXPECT_EQ(std::get<RecordingGraphicsContext::DrawImage>(operations[4]).image, pressed);
    EXPECT_THROW(location->setCell(nullptr), std::invalid_argument);
}

TEST_F(ControlTest, TitlesFollowTheirParagraphAlignment) {
    const std::vector<std::pair<TextAlignment, double>> cases{
        {TextAlignment::left, 0}, {TextAlignment::right, 40}, {TextAlignment::center, 20}, {TextAlignment::natural, 20}};
    for (const auto& [alignment, x] : cases) {
        TextAttributes attributes;
        attributes.paragraphStyle = ParagraphStyle{alignment};
        measurer->widths["Sign up"] = 60;
        RecordingGraphicsContext context;
        View view;
        const Rect drawn = ButtonCell().drawTitle(context, AttributedString("Sign up", attributes), Rect(0, 0, 100, 30), view);
        EXPECT_EQ(drawn.origin.x, x) << static_cast<int>(alignment);
        EXPECT_EQ(drawn.size.height, 12);
    }
}

TEST_F(ControlTest, TheStatusBarButtonFilterSkipsTheDefaultPress) {
    auto item = std::make_shared<StatusBarButton>(Rect(0, 0, 22, 22));
    auto other = std::make_shared<StatusBarButton>(Rect(30, 0, 22, 22));
    window->contentView()->addSubview(item);
    window->contentView()->addSubview(other);
    StatusBarButton::setSkipsDefaultMouseDown([&](const StatusBarButton& button) { return &button == item.get(); });
    Person::mouse(EventType::leftMouseDown, window, {5, 5});
    Person::mouse(EventType::leftMouseDown, window, {35, 5});
    EXPECT_FALSE(item->isHighlighted());
    EXPECT_TRUE(other->isHighlighted());
}

TEST_F(ControlTest, AClickRecognizerMakesALabelClickable) {
    auto label = std::make_shared<TextField>(Rect(50, 50, 100, 20));
    label->setEditable(false);
    label->setSelectable(false);
    window->contentView()->addSubview(label);
    screen->setActionHandler("rbTcpClick:", [&](Object* sender) {
        actions.push_back(dynamic_cast<ClickGestureRecognizer*>(sender) ? "recogniser" : "?");
    });
    auto recognizer = std::make_shared<ClickGestureRecognizer>(screen, "rbTcpClick:");
    label->addGestureRecognizer(recognizer);

    label->click();
    Person::mouse(EventType::leftMouseDown, window, {60, 60});
    Person::mouse(EventType::leftMouseUp, window, {10, 10});  // released outside: no click
    Person::mouse(EventType::rightMouseDown, window, {60, 60});
    Person::mouse(EventType::rightMouseUp, window, {60, 60});  // not its button
    EXPECT_EQ(actions, (std::vector<std::string>{"recogniser"}));

    label->setGestureRecognizers({});
    label->click();
    EXPECT_EQ(actions.size(), 1u);
}

}  // namespace
