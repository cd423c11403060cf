#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/EditableText.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/SearchField.hpp"
#include "platform/ui/SecureTextField.hpp"
#include "platform/ui/TextField.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using corvantis::testing::Person;
using corvantis::testing::shownWindow;
using platform::ui::Application;
using platform::ui::EditableText;
using platform::ui::Event;
using platform::ui::EventType;
using platform::ui::Object;
using platform::ui::Pasteboard;
using platform::ui::RecordingGraphicsContext;
using platform::ui::Rect;
using platform::ui::SearchField;
using platform::ui::SearchFieldCell;
using platform::ui::SecureTextField;
using platform::ui::TextField;
using platform::ui::TextRange;
using platform::ui::Window;
namespace ModifierFlags = platform::ui::ModifierFlags;
using Journal = std::vector<std::string>;

namespace {

// A field that takes the editing shortcuts itself, as the login form's fields do: Command-X, C,
// V, Z, A and Command-Shift-Z become actions sent along the responder chain.
template <class Field>
class ShortcutField : public Field {
public:
    using Field::Field;
    bool performKeyEquivalent(const Event& event) override {
        static const std::vector<std::pair<std::string, std::string>> commands{
            {"x", "cut:"}, {"c", "copy:"}, {"v", "paste:"}, {"z", "undo:"}, {"a", "selectAll:"}};
        const auto modifiers = event.modifierFlags() & ModifierFlags::deviceIndependentFlagsMask;
        if (event.type() == EventType::keyDown && modifiers == ModifierFlags::command) {
            for (const auto& [key, action] : commands) {
                if (event.charactersIgnoringModifiers() == key && Application::shared().sendAction(action, nullptr, this)) {
                    return true;
                }
            }
        }
        if (event.type() == EventType::keyDown && modifiers == (ModifierFlags::command | ModifierFlags::shift) &&
            event.charactersIgnoringModifiers() == "Z" && Application::shared().sendAction("redo:", nullptr, this)) {
            return true;
        }
        return Field::performKeyEquivalent(event);
    }
};

class JournalDelegate : public platform::ui::TextFieldDelegate {
public:
    explicit JournalDelegate(Journal& journal) : journal_(journal) {}
    void controlTextDidChange(TextField& field) override { journal_.push_back("changed " + field.stringValue()); }
    void controlTextDidEndEditing(TextField& field) override { journal_.push_back("ended " + field.stringValue()); }

private:
    Journal& journal_;
};

class TextFieldTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<Window> window = shownWindow(Rect(0, 0, 300, 200));
    std::shared_ptr<ShortcutField<TextField>> email = std::make_shared<ShortcutField<TextField>>(Rect(10, 150, 200, 20));
    std::shared_ptr<ShortcutField<SecureTextField>> password =
        std::make_shared<ShortcutField<SecureTextField>>(Rect(10, 120, 200, 20));
    std::shared_ptr<Pasteboard> pasteboard = Pasteboard::general();
    Journal journal;
    std::shared_ptr<JournalDelegate> delegate = std::make_shared<JournalDelegate>(journal);

    TextFieldTest() {
        window->contentView()->addSubview(email);
        window->contentView()->addSubview(password);
        email->setNextKeyView(password);
        window->makeKey();
    }

    static void command(const std::string& key) { Person::press(key, ModifierFlags::command); }
};

TEST_F(TextFieldTest, TypingEditsTheFieldAndTheDelegateHearsEveryChange) {
    email->setDelegate(delegate);
    email->type(
        "ab\x7f"
        "c\u00e9");
    EXPECT_EQ(email->stringValue(), "ac\u00e9");
    email->type("\x7f");  // a two-byte character goes in one stroke
    EXPECT_EQ(email->stringValue(), "ac");
    EXPECT_EQ(journal, (Journal{"changed a", "changed ab", "changed a", "changed ac", "changed ac\u00e9", "changed ac"}));

    email->setStringValue("set by code");
    EXPECT_EQ(journal.size(), 6u);  // not the person's doing
}

TEST_F(TextFieldTest, ForwardDeleteTakesTheSelectionOrTheCharacterAfterTheInsertionPoint) {
    const std::string forwardDelete = "\xEF\x9C\xA8";  // U+F728, the Delete key
    email->type("\u00e9te");
    email->setSelectedRange({0, 0});
    email->type(forwardDelete);  // a two-byte character goes in one stroke
    EXPECT_EQ(email->stringValue(), "te");
    command("a");
    email->type(forwardDelete);
    EXPECT_EQ(email->stringValue(), "");
    email->type(forwardDelete);  // nothing after the end
    EXPECT_EQ(email->stringValue(), "");
}

// A clipboard of another program's: what it holds comes in when the pasteboard is read.
class FakeClipboard final : public platform::ui::ClipboardBridge {
public:
    void publish(const std::optional<std::string>& text) override { published.push_back(text); }
    std::optional<std::string> foreignText() override { return std::exchange(foreign, std::nullopt); }

    std::vector<std::optional<std::string>> published;
    std::optional<std::string> foreign;
};

TEST_F(TextFieldTest, ThePasteboardPublishesCopiesAndPastesWhatAnotherProgramCopied) {
    const auto clipboard = std::make_shared<FakeClipboard>();
    pasteboard->setBridge(clipboard);
    email->type("mine");
    command("a");
    command("c");
    EXPECT_EQ(clipboard->published, (std::vector<std::optional<std::string>>{std::nullopt, "mine"}));  // cleared, then set

    clipboard->foreign = "theirs";
    const auto before = pasteboard->changeCount();
    command("v");
    EXPECT_EQ(email->stringValue(), "theirs");
    EXPECT_GT(pasteboard->changeCount(), before);
    pasteboard->setBridge(nullptr);
}

TEST_F(TextFieldTest, TabMovesOnAndEndsTheEditingOfTheFieldLeft) {
    email->setDelegate(delegate);
    email->type("me@example.com\tsecret");
    EXPECT_EQ(email->stringValue(), "me@example.com");
    EXPECT_EQ(password->stringValue(), "secret");
    EXPECT_FALSE(email->isEditing());
    EXPECT_TRUE(password->isEditing());
    EXPECT_EQ(journal.back(), "ended me@example.com");
}

// A panel that closes on Escape, as the popup does.
class EscapePanel : public Window {
public:
    using Window::Window;
    int cancels = 0;
    void cancelOperation(Object*) override { ++cancels; }
};

TEST_F(TextFieldTest, ReturnSendsTheActionAndEscapeSendsCancelUpTheChain) {
    auto panel = std::make_shared<EscapePanel>(Rect(0, 0, 200, 100));
    panel->setContentView(std::make_shared<platform::ui::View>());
    panel->makeKeyAndOrderFront();
    auto field = std::make_shared<SecureTextField>(Rect(0, 0, 100, 20));
    panel->contentView()->addSubview(field);
    Journal chain;
    field->setTarget(panel->contentView());
    field->setAction("txtPasswordAction:");
    panel->contentView()->setActionHandler(
        "txtPasswordAction:", [&](Object* sender) { chain.push_back(sender == field.get() ? "action from the field" : "?"); });

    field->type("pw\r");
    EXPECT_EQ(chain, (Journal{"action from the field"}));
    field->type("\x1b");
    EXPECT_EQ(panel->cancels, 1);
    EXPECT_EQ(field->stringValue(), "pw");
    // With no field being edited the window itself takes Escape.
    panel->makeFirstResponder(nullptr);
    Person::press("\x1b");
    Person::press("q");
    EXPECT_EQ(panel->cancels, 2);
}

TEST_F(TextFieldTest, EditingShortcutsGoThroughThePasteboardAndUndoTypingAsOneStep) {
    email->type("hello");
    command("a");
    command("c");
    EXPECT_EQ(pasteboard->string(), "hello");
    email->type(" world");  // replaces the selection
    EXPECT_EQ(email->stringValue(), " world");
    command("z");
    EXPECT_EQ(email->stringValue(), "hello");
    EXPECT_EQ(email->selectedRange(), (TextRange{0, 5}));
    Person::press("Z", ModifierFlags::command | ModifierFlags::shift);
    EXPECT_EQ(email->stringValue(), " world");
    command("a");
    command("x");
    EXPECT_EQ(email->stringValue(), "");
    EXPECT_EQ(pasteboard->string(), " world");
    command("v");
    command("v");
    EXPECT_EQ(email->stringValue(), " world world");
    command("z");
    EXPECT_EQ(email->stringValue(), " world");
}

TEST_F(TextFieldTest, ShortcutsWithOtherModifiersOrNoFieldToTakeThemDoNothing) {
    email->type("hello");
    command("a");
    Person::press("c", ModifierFlags::command | ModifierFlags::capsLock);
    Person::press("c", ModifierFlags::command | ModifierFlags::option);
    Person::press("C", ModifierFlags::command | ModifierFlags::shift);
    EXPECT_EQ(pasteboard->string(), std::nullopt);
    EXPECT_EQ(email->stringValue(), "hello");  // nor were they typed
    window->makeFirstResponder(nullptr);
    command("x");
    EXPECT_EQ(email->stringValue(), "hello");
}

TEST_F(TextFieldTest, TheSecureFieldNeverPutsItsTextOnThePasteboard) {
    pasteboard->setString("from elsewhere");
    password->type("secret");
    command("a");
    command("c");
    command("x");
    EXPECT_EQ(pasteboard->string(), "from elsewhere");
    EXPECT_EQ(password->stringValue(), "secret");
    command("v");
    EXPECT_EQ(password->stringValue(), "from elsewhere");

    RecordingGraphicsContext context;
    password->setStringValue("p\u00e4ss");
    password->draw(context, password->bounds());
    // A bullet per character, and no text at all.
    const auto& drawn = context.operations();
    EXPECT_EQ(std::count_if(
                  drawn.begin(), drawn.end(),
                  [](const auto& operation) { return std::holds_alternative<RecordingGraphicsContext::FillPath>(operation); }),
              4);
    EXPECT_TRUE(std::none_of(drawn.begin(), drawn.end(), [](const auto& operation) {
        return std::holds_alternative<RecordingGraphicsContext::DrawText>(operation);
    }));
}

TEST_F(TextFieldTest, TheAlignmentGoesWithTheTextAndThePlaceholderAndNaturalAddsNone) {
    const auto paragraphOf = [](TextField& field) {
        RecordingGraphicsContext context;
        field.draw(context, field.bounds());
        return std::get<RecordingGraphicsContext::DrawText>(context.operations().at(0)).text.attributes(0).paragraphStyle;
    };
    TextField caption({0, 0, 300, 18});
    caption.setPlaceholderString("Connect to");
    EXPECT_EQ(paragraphOf(caption), std::nullopt);
    caption.setAlignment(platform::ui::TextAlignment::center);
    EXPECT_EQ(paragraphOf(caption)->alignment, platform::ui::TextAlignment::center);
    caption.setStringValue("Connect to");
    EXPECT_EQ(paragraphOf(caption)->alignment, platform::ui::TextAlignment::center);
}

TEST_F(TextFieldTest, LabelsAndDisabledFieldsCannotBeEdited) {
    email->setEditable(false);
    email->setStringValue("label");
    email->type("x\x7f");
    command("v");
    EXPECT_EQ(email->stringValue(), "label");

    email->setEditable(true);
    email->setEnabled(false);
    window->makeFirstResponder(nullptr);
    EXPECT_THROW(std::make_shared<TextField>()->type("x"), std::logic_error);
    email->click();
    EXPECT_FALSE(email->isEditing());
}

TEST_F(TextFieldTest, TheEditingModelKeepsWholeCharactersAndItsHistory) {
    EditableText text;
    text.setString("a\u00e9b");
    text.setSelectedRange({2, 1});  // inside the two-byte character: widened to it
    EXPECT_EQ(text.selectedRange(), (TextRange{1, 2}));
    text.setSelectedRange({99, 5});
    EXPECT_EQ(text.selectedRange(), (TextRange{4, 0}));
    EXPECT_TRUE(text.insert("c"));
    EXPECT_TRUE(text.insert("d"));
    EXPECT_TRUE(text.deleteBackward());
    EXPECT_TRUE(text.deleteBackward());
    text.setSelectedRange({0, 0});
    EXPECT_FALSE(text.deleteBackward());
    // Typing, then deleting: two steps back to the start.
    EXPECT_TRUE(text.undo());
    EXPECT_EQ(text.string(), "a\u00e9bcd");
    EXPECT_TRUE(text.undo());
    EXPECT_EQ(text.string(), "a\u00e9b");
    EXPECT_FALSE(text.undo());
    EXPECT_TRUE(text.redo());
    EXPECT_TRUE(text.replaceSelection("x"));
    EXPECT_FALSE(text.redo());  // a new edit forgets what could be redone
}

// A search cell that keeps a 20-point strip at the right for its button.
class StripCell : public SearchFieldCell {
public:
    Rect searchTextRect(const Rect&) const override { return {0, 0, controlView()->frame().width() - 20, 40}; }
    Rect searchButtonRect(const Rect&) const override { return {controlView()->frame().width() - 20, 0, 20, 0}; }
};

TEST_F(TextFieldTest, ASearchFieldLaysItselfOutByItsCell) {
    auto search = std::make_shared<SearchField>(Rect(0, 0, 200, 30));
    EXPECT_EQ(search->cell()->searchButtonRect(search->bounds()), Rect(0, 0, 30, 30));
    EXPECT_EQ(search->cell()->searchTextRect(search->bounds()), Rect(30, 0, 140, 30));
    auto cell = std::make_shared<StripCell>();
    search->setCell(cell);
    EXPECT_EQ(cell->controlView(), search.get());
    EXPECT_EQ(cell->searchTextRect(Rect(5, 5, 1, 1)), Rect(0, 0, 180, 40));

    search->setPlaceholderString("Search");
    RecordingGraphicsContext context;
    search->draw(context, search->bounds());
    const auto& text = std::get<RecordingGraphicsContext::DrawText>(context.operations().back());
    EXPECT_EQ(text.text.string(), "Search");
    // The cell's taller rectangle, kept to the field so that the text is seen: in its middle.
    EXPECT_EQ(text.rect.width(), 180);
    EXPECT_EQ(text.rect.midY(), 15);
}

}  // namespace

namespace {

// AppKit's function-key characters, as the display layer delivers the keys.
const std::string leftArrow = "\xEF\x9C\x82";
const std::string rightArrow = "\xEF\x9C\x83";
const std::string homeKey = "\xEF\x9C\xA9";
const std::string endKey = "\xEF\x9C\xAB";
const std::string backspace = "\x7f";

// A plain field, as the save panel's and the search bar's are: no key equivalents of its own.
class PlainFieldTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<Window> window = shownWindow(Rect(0, 0, 300, 100));
    std::shared_ptr<TextField> field = std::make_shared<TextField>(Rect(10, 40, 200, 20));

    PlainFieldTest() {
        field->setFont(platform::ui::Font::system(12));  // 10 points a character, 12 high
        window->contentView()->addSubview(field);
        window->makeKey();
    }

    std::string selected() const {
        return field->stringValue().substr(field->selectedRange().location, field->selectedRange().length);
    }

    // A press of the left button at `x` of the field (10 points a character), clicked `count` times.
    void clickAt(double x, std::int64_t count = 1, std::uint64_t modifiers = 0) {
        const platform::ui::Point at = field->convert(platform::ui::Point{x, 10}, nullptr);
        Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDown, at, window, modifiers, std::nullopt, count));
        Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseUp, at, window, modifiers, std::nullopt, count));
    }
};

TEST_F(PlainFieldTest, ControlKeysEditAPlainFieldAndWordsGoWithControlBackspace) {
    field->type("/home/jane/Desktop");
    Person::press("a", ModifierFlags::command);
    EXPECT_EQ(selected(), "/home/jane/Desktop");
    Person::press("c", ModifierFlags::command);
    EXPECT_EQ(Pasteboard::general()->string(), "/home/jane/Desktop");

    Person::press(endKey);
    Person::press(backspace, ModifierFlags::command);
    EXPECT_EQ(field->stringValue(), "/home/jane/");
    Person::press(backspace, ModifierFlags::command);
    EXPECT_EQ(field->stringValue(), "/home/");
    field->type("tmp");
    EXPECT_EQ(field->stringValue(), "/home/tmp");
    Person::press("z", ModifierFlags::command);
    EXPECT_EQ(field->stringValue(), "/home/");
    Person::press("Z", ModifierFlags::command | ModifierFlags::shift);
    EXPECT_EQ(field->stringValue(), "/home/tmp");

    // Control with the forward Delete takes the word after the insertion point.
    Person::press(homeKey);
    Person::press("\xEF\x9C\xA8", ModifierFlags::command);
    EXPECT_EQ(field->stringValue(), "/tmp");
}

TEST_F(PlainFieldTest, HomeEndAndTheArrowsMoveTheInsertionPointAndShiftExtendsTheSelection) {
    field->type("jane@example.com");
    Person::press(homeKey);
    EXPECT_EQ(field->selectedRange(), (TextRange{0, 0}));
    Person::press(rightArrow, ModifierFlags::shift);
    Person::press(rightArrow, ModifierFlags::shift);
    EXPECT_EQ(selected(), "ja");
    Person::press(endKey, ModifierFlags::shift);
    EXPECT_EQ(selected(), "jane@example.com");
    Person::press(leftArrow, ModifierFlags::shift | ModifierFlags::command);  // a word back: "com" leaves it
    EXPECT_EQ(selected(), "jane@example.");
    Person::press(leftArrow);  // ends the selection at its left
    EXPECT_EQ(field->selectedRange(), (TextRange{0, 0}));
    Person::press(rightArrow, ModifierFlags::command);
    EXPECT_EQ(field->selectedRange(), (TextRange{4, 0}));
    field->type("y");
    EXPECT_EQ(field->stringValue(), "janey@example.com");
    Person::press(endKey);
    Person::press(leftArrow, ModifierFlags::shift);
    Person::press(leftArrow, ModifierFlags::shift);
    Person::press(leftArrow, ModifierFlags::shift);
    field->type("org");
    EXPECT_EQ(field->stringValue(), "janey@example.org");
    // Other modifiers leave the arrows alone.
    Person::press(homeKey, ModifierFlags::option);
    EXPECT_EQ(field->selectedRange(), (TextRange{17, 0}));
}

TEST_F(PlainFieldTest, AClickPlacesTheInsertionPointADoubleClickTakesAWordATripleClickAllAndADragSelects) {
    field->type("jane doe@mail");
    window->makeFirstResponder(nullptr);
    clickAt(42);  // nearest to the boundary after "jane"
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(field->selectedRange(), (TextRange{4, 0}));
    clickAt(82, 1, ModifierFlags::shift);
    EXPECT_EQ(selected(), " doe");
    clickAt(66, 2);
    EXPECT_EQ(selected(), "doe");
    clickAt(66, 3);
    EXPECT_EQ(selected(), "jane doe@mail");
    clickAt(190);  // past the end of the text
    EXPECT_EQ(field->selectedRange(), (TextRange{13, 0}));

    const auto at = [&](double x) { return field->convert(platform::ui::Point{x, 10}, nullptr); };
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDown, at(10), window));
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDragged, at(70), window));
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseUp, at(70), window));
    EXPECT_EQ(selected(), "ane do");
}

TEST_F(PlainFieldTest, TheInsertionPointBlinksWhileThePersonTypesAndStaysShownOnceLeftAlone) {
    using namespace std::chrono_literals;
    field->type("abc");
    ASSERT_TRUE(field->showsInsertionPoint());
    time.advance(790ms);
    EXPECT_TRUE(field->showsInsertionPoint());
    time.advance(20ms);
    EXPECT_FALSE(field->showsInsertionPoint()) << "off after 0.8 s";
    time.advance(400ms);
    EXPECT_TRUE(field->showsInsertionPoint()) << "on again after 0.4 s";
    time.advance(700ms);
    field->type("d");  // typing shows it at once and starts the blink anew
    EXPECT_TRUE(field->showsInsertionPoint());
    time.advance(500ms);
    EXPECT_TRUE(field->showsInsertionPoint());
    time.advance(400ms);
    EXPECT_FALSE(field->showsInsertionPoint());

    time.advance(20s);
    EXPECT_TRUE(field->showsInsertionPoint()) << "steady after 10 s without input";
    time.advance(5s);
    EXPECT_TRUE(field->showsInsertionPoint());

    Person::press("a", ModifierFlags::command);
    EXPECT_FALSE(field->showsInsertionPoint()) << "a selection takes its place";
    Person::press(rightArrow);
    EXPECT_TRUE(field->showsInsertionPoint());
    field->setEnabled(false);
    EXPECT_FALSE(field->showsInsertionPoint()) << "a disabled field takes no input and shows no insertion point";
    field->setEnabled(true);
    window->makeFirstResponder(nullptr);
    EXPECT_FALSE(field->showsInsertionPoint()) << "only while editing";
}

TEST_F(PlainFieldTest, TheSelectionAndTheInsertionPointAreDrawnWhereTheTextIs) {
    field->type("abcdef");
    const auto fills = [&] {
        RecordingGraphicsContext context;
        field->draw(context, field->bounds());
        std::vector<Rect> rects;
        for (const auto& operation : context.operations()) {
            if (const auto* fill = std::get_if<RecordingGraphicsContext::FillRect>(&operation)) rects.push_back(fill->rect);
        }
        return rects;
    };
    // The insertion point after "abcdef": a point wide, as high as the line, centred in the field.
    EXPECT_EQ(fills(), (std::vector<Rect>{Rect(60, 4, 1, 12)}));
    field->setSelectedRange({1, 3});
    EXPECT_EQ(fills(), (std::vector<Rect>{Rect(10, 4, 30, 12)}));
    window->makeFirstResponder(nullptr);
    EXPECT_EQ(fills(), std::vector<Rect>{});
}

TEST_F(PlainFieldTest, TheInsertionPointOfAnEmptyFieldStandsBeforeItsPlaceholder) {
    field->setPlaceholderString("Search");
    field->click();
    RecordingGraphicsContext context;
    field->draw(context, field->bounds());
    std::optional<Rect> caret;
    std::optional<Rect> placeholder;
    for (const auto& operation : context.operations()) {
        if (const auto* fill = std::get_if<RecordingGraphicsContext::FillRect>(&operation)) caret = fill->rect;
        if (const auto* text = std::get_if<RecordingGraphicsContext::DrawText>(&operation)) placeholder = text->rect;
    }
    ASSERT_TRUE(caret && placeholder);
    EXPECT_EQ(caret->minX(), 0);
    EXPECT_GE(placeholder->minX(), caret->maxX() + 1) << "the placeholder's first letter is clear of the insertion point";
}

// The password's mask: a round bullet per character as high as the face's lower-case letters,
// with the insertion point after the last one.
TEST_F(TextFieldTest, ThePasswordIsMaskedByBulletsOfTheTextsXHeight) {
    const auto face = platform::ui::Font::named("Montserrat-Medium", 12);
    ASSERT_TRUE(face) << "the shipped face is registered";
    password->setFont(*face);
    password->type("pw1");
    RecordingGraphicsContext context;
    password->draw(context, password->bounds());
    std::vector<Rect> bullets;
    std::optional<Rect> caret;
    for (const auto& operation : context.operations()) {
        if (const auto* fill = std::get_if<RecordingGraphicsContext::FillRect>(&operation)) caret = fill->rect;
        const auto* path = std::get_if<RecordingGraphicsContext::FillPath>(&operation);
        if (path == nullptr) continue;
        double left = 1e9, right = -1e9, bottom = 1e9, top = -1e9;
        for (const auto& element : path->path.elements()) {
            for (const auto& point : element.points) {
                left = std::min(left, point.x), right = std::max(right, point.x);
                bottom = std::min(bottom, point.y), top = std::max(top, point.y);
            }
        }
        bullets.push_back(Rect(left, bottom, right - left, top - bottom));
    }
    ASSERT_EQ(bullets.size(), 3u);
    for (const Rect& bullet : bullets) {
        EXPECT_NEAR(bullet.width(), 12 * 530.0 / 1000, 0.01) << "Montserrat's x-height at 12 points";
        EXPECT_NEAR(bullet.height(), bullet.width(), 0.01);
    }
    EXPECT_GT(bullets[1].minX(), bullets[0].maxX() + 2);
    ASSERT_TRUE(caret);
    EXPECT_GT(caret->minX(), bullets[2].maxX());
    EXPECT_LT(caret->minX(), bullets[2].maxX() + bullets[2].width());
}

}  // namespace
