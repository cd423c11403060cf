// The login screen's small pieces: the fields' editing shortcuts through the event model, the
// controller's look and error display, tinting on real pixels, the button title's style and the
// screens' face.

#include "app/FontHelper.hpp"
#include "app/LoginButtonCell.hpp"
#include "app/LoginTextField.hpp"
#include "app/LoginViewController.hpp"
#include "app/MyButton.hpp"
#include "app/PasswordSecureTextField.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

using platform::ui::Application;
using platform::ui::Color;
using platform::ui::Event;
using platform::ui::EventType;
using platform::ui::Image;
using platform::ui::Pasteboard;
namespace Flags = platform::ui::ModifierFlags;

namespace {

class LoginControlsTest : public ::testing::Test {
protected:
    LoginControlsTest() { platform::ui::testing::reset(); }
    ~LoginControlsTest() override { platform::ui::testing::reset(); }

    corvantis::testing::VirtualTime time;
};

class EditingShortcutsTest : public LoginControlsTest {
protected:
    EditingShortcutsTest() {
        window->setContentView(std::make_shared<platform::ui::View>());
        window->contentView()->addSubview(email);
        window->contentView()->addSubview(password);
        window->makeKeyAndOrderFront();
    }

    // A key press with modifiers in the key window, as the display layer delivers it.
    static void press(const std::string& key, std::uint64_t modifiers) {
        const auto window = Application::shared().keyWindow();
        Application::shared().sendEvent(Event::keyEvent(EventType::keyDown, window, key, modifiers));
        Application::shared().sendEvent(Event::keyEvent(EventType::keyUp, window, key, modifiers));
    }

    static std::string pasted() { return Pasteboard::general()->string().value_or("<empty>"); }

    std::shared_ptr<platform::ui::Window> window = std::make_shared<platform::ui::Window>(platform::ui::Rect(0, 0, 300, 200));
    std::shared_ptr<corvantis::LoginTextField> email =
        std::make_shared<corvantis::LoginTextField>(platform::ui::Rect(10, 120, 200, 24));
    std::shared_ptr<corvantis::PasswordSecureTextField> password =
        std::make_shared<corvantis::PasswordSecureTextField>(platform::ui::Rect(10, 60, 200, 24));
};

TEST_F(EditingShortcutsTest, CommandKeysCutCopyPasteUndoRedoAndSelectAllInTheFieldBeingEdited) {
    email->type("me@x.io");
    press("a", Flags::command);
    press("c", Flags::command);
    EXPECT_EQ(pasted(), "me@x.io");
    press("x", Flags::command);
    EXPECT_EQ(email->stringValue(), "");
    press("v", Flags::command);
    press("v", Flags::command);
    EXPECT_EQ(email->stringValue(), "me@x.iome@x.io");
    press("z", Flags::command);
    EXPECT_EQ(email->stringValue(), "me@x.io");
    press("Z", Flags::command | Flags::shift);
    EXPECT_EQ(email->stringValue(), "me@x.iome@x.io");

    // The same keys reach the password field, which pastes but never gives its text away.
    password->type("secret1");
    Pasteboard::general()->clearContents();
    press("a", Flags::command);
    press("c", Flags::command);
    press("x", Flags::command);
    EXPECT_EQ(pasted(), "<empty>");
    EXPECT_EQ(password->stringValue(), "secret1");
    Pasteboard::general()->setString("pasted");
    press("a", Flags::command);
    press("v", Flags::command);
    EXPECT_EQ(password->stringValue(), "pasted");
}

TEST_F(EditingShortcutsTest, OnlyTheExactCombinationsOnAKeyDownAreTakenAndOnlyWhenSomeoneActs) {
    email->type("text");
    const auto key = [&](EventType type, const std::string& characters, std::uint64_t modifiers) {
        return Event::keyEvent(type, window, characters, modifiers);
    };
    for (platform::ui::Responder* field : std::vector<platform::ui::Responder*>{email.get(), password.get()}) {
        auto& responder = *field;
        EXPECT_TRUE(responder.performKeyEquivalent(key(EventType::keyDown, "c", Flags::command)));
        // Device-dependent low bits do not count.
        EXPECT_TRUE(responder.performKeyEquivalent(key(EventType::keyDown, "c", Flags::command | 0x8)));
        EXPECT_TRUE(responder.performKeyEquivalent(key(EventType::keyDown, "Z", Flags::command | Flags::shift)));
        for (const auto modifiers :
             {Flags::command | Flags::capsLock, Flags::command | Flags::option, Flags::command | Flags::control,
              Flags::command | Flags::shift, Flags::control, std::uint64_t{0}}) {
            EXPECT_FALSE(responder.performKeyEquivalent(key(EventType::keyDown, "c", modifiers))) << std::hex << modifiers;
        }
        EXPECT_FALSE(responder.performKeyEquivalent(key(EventType::keyDown, "C", Flags::command))) << "case-sensitive";
        EXPECT_FALSE(responder.performKeyEquivalent(key(EventType::keyDown, "z", Flags::command | Flags::shift)));
        EXPECT_FALSE(responder.performKeyEquivalent(key(EventType::keyUp, "c", Flags::command)));
        EXPECT_FALSE(responder.performKeyEquivalent(key(EventType::keyDown, "q", Flags::command)));
    }
    Pasteboard::general()->clearContents();
    EXPECT_TRUE(window->makeFirstResponder(nullptr));
    EXPECT_FALSE(email->performKeyEquivalent(key(EventType::keyDown, "a", Flags::command))) << "nobody edits: nobody acts";
}

std::shared_ptr<Image> halfOpaqueSquare() {
    auto image = Image::make({4, 4});
    for (int x = 0; x < 2; ++x) {
        for (int y = 0; y < 4; ++y) image->setPixel(x, y, {200, 10, 10, 255});
    }
    image->setPixel(2, 0, {0, 200, 0, 128});
    return image;
}

TEST_F(LoginControlsTest, TintingColoursTheOpaquePixelsOfACopyAndKeepsTransparencyAndTheOriginal) {
    const auto image = halfOpaqueSquare();
    const auto tinted =
        corvantis::LoginViewController::tintedImage(image, Color::sRGB(245.0 / 255, 130.0 / 255, 144.0 / 255, 1.0));
    ASSERT_TRUE(tinted);
    EXPECT_NE(tinted, image);
    EXPECT_EQ(tinted->size(), image->size());
    EXPECT_EQ(tinted->pixel(0, 0), (Image::Pixel{245, 130, 144, 255}));
    EXPECT_EQ(tinted->pixel(1, 3), (Image::Pixel{245, 130, 144, 255}));
    const auto half = tinted->pixel(2, 0);
    EXPECT_EQ(half.alpha, 128);
    EXPECT_NEAR(half.red, 245, 2);
    EXPECT_NEAR(half.green, 130, 2);
    EXPECT_EQ(tinted->pixel(3, 3).alpha, 0);
    EXPECT_EQ(tinted->pixel(2, 1).alpha, 0);
    EXPECT_EQ(image->pixel(0, 0), (Image::Pixel{200, 10, 10, 255})) << "the given image stays";
    EXPECT_EQ(image->pixel(2, 0), (Image::Pixel{0, 200, 0, 128}));
}

TEST_F(LoginControlsTest, TheControllerStylesLinksIconsAndLinesAndShowsAndHidesTheError) {
    const auto email = halfOpaqueSquare();
    const auto lock = halfOpaqueSquare();
    email->setName("EmailIcon");
    lock->setName("PasswordIcon");
    auto storyboard = std::make_shared<platform::ui::Storyboard>("Main");
    corvantis::LoginViewController::registerScene(*storyboard);
    const auto controller =
        std::dynamic_pointer_cast<corvantis::LoginViewController>(storyboard->instantiateController("loginViewController"));
    ASSERT_TRUE(controller);
    ASSERT_TRUE(controller->view());

    const Color linkBlue = Color::sRGB(0.2, 89.0 / 255, 1.0, 0.7);
    const auto signUp = controller->btnSignUp->attributedTitle();
    EXPECT_EQ(signUp.string(), "Sign up");
    EXPECT_EQ(signUp.attributes(0),
              (platform::ui::TextAttributes{corvantis::montserratMediumFont(12), linkBlue,
                                            platform::ui::ParagraphStyle{platform::ui::TextAlignment::left}, 1}));
    const auto forgot = controller->btnForgotPassword->attributedTitle();
    EXPECT_EQ(forgot.string(), "Forgot password?");
    EXPECT_EQ(forgot.attributes(0).paragraphStyle->alignment, platform::ui::TextAlignment::right);

    const Color normal = Color::sRGB(37.0 / 255, 47.0 / 255, 88.0 / 255, 0.05);
    const auto looksNormal = [&] {
        EXPECT_TRUE(controller->lblErrorMessage->isHidden());
        EXPECT_EQ(controller->imgUsername->image(), email);
        EXPECT_EQ(controller->imgPassword->image(), lock);
        EXPECT_EQ(controller->lineLogin->fillColor(), normal);
        EXPECT_EQ(controller->linePassword->fillColor(), normal);
    };
    looksNormal();

    controller->showError("Something is wrong");
    EXPECT_FALSE(controller->lblErrorMessage->isHidden());
    EXPECT_EQ(controller->lblErrorMessage->stringValue(), "Something is wrong");
    EXPECT_EQ(controller->imgUsername->image()->pixel(0, 0), (Image::Pixel{245, 130, 144, 255}));
    EXPECT_EQ(controller->imgPassword->image()->pixel(3, 3).alpha, 0);
    EXPECT_EQ(controller->lineLogin->fillColor(), controller->colorError);

    controller->hideError();
    looksNormal();
    EXPECT_EQ(controller->lblErrorMessage->stringValue(), "Something is wrong") << "the last text stays";
}

TEST_F(LoginControlsTest, TheLoginButtonTitleIsWhiteCentredMontserratAt14WhateverItWasGiven) {
    corvantis::LoginButtonCell cell;
    platform::ui::View control;
    platform::ui::RecordingGraphicsContext context;
    const platform::ui::AttributedString given("Log in",
                                               {platform::ui::Font::system(20), Color::sRGB(1, 0, 0, 1),
                                                platform::ui::ParagraphStyle{platform::ui::TextAlignment::left}, std::nullopt});
    const platform::ui::Rect frame(0, 0, 200, 45);
    const auto drawn = cell.drawTitle(context, given, frame, control);
    ASSERT_EQ(context.operations().size(), 1u);
    const auto& text = std::get<platform::ui::RecordingGraphicsContext::DrawText>(context.operations().front());
    EXPECT_EQ(text.text.string(), "Log in");
    const auto attributes = text.text.attributes(0);
    EXPECT_EQ(attributes.foregroundColor, Color::white());
    EXPECT_EQ(attributes.paragraphStyle->alignment, platform::ui::TextAlignment::center);
    ASSERT_TRUE(attributes.font);
    EXPECT_EQ(attributes.font->fontName(), "Montserrat-Medium");
    EXPECT_EQ(attributes.font->pointSize(), 14.0);
    EXPECT_EQ(drawn, text.rect);
    EXPECT_DOUBLE_EQ(drawn.midX(), frame.midX());
    // A button counts y downwards: the title is centred on the body, the frame less the 5 points
    // at its bottom where the button's shadow lies.
    ASSERT_TRUE(corvantis::MyButton().isFlipped());
    EXPECT_DOUBLE_EQ(drawn.midY(), 20.0);
}

TEST_F(LoginControlsTest, TheScreensFaceIsTheShippedMontserratMedium) {
    const auto font = corvantis::montserratMediumFont(12);
    EXPECT_EQ(font.fontName(), "Montserrat-Medium");
    EXPECT_EQ(font.pointSize(), 12.0);
    ASSERT_NE(font.file(), nullptr) << "the font file among the resources, not a stand-in";
}

}  // namespace
