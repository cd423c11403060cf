#include "app/Validation.hpp"

#include <gtest/gtest.h>

using corvantis::RegEx;
using corvantis::Validation;
using corvantis::ValidationType;

namespace {

bool validEmail(const std::string& text) {
    return Validation::shared().validate({{ValidationType::email, text}});
}

bool validPassword(const std::string& text) {
    return Validation::shared().validate({{ValidationType::password, text}});
}

TEST(Validation, EmailAddresses) {
    const std::vector<std::pair<std::string, bool>> cases{
        {"someone@example.de", true},
        {"someone@example.com", true},
        {"someone@example.info", true},
        {"someone@example.c", false},
        {"someone@example.museum", false},
        {"someone@localhost", false},
        {"first.last+tag%x_y-z@mail-1.sub.example.org", true},
        {"SOMEONE@EXAMPLE.COM", true},
        {" someone@example.com", false},
        {"someone@example.com ", false},
        {"some@one@example.com", false},
        {"some!one@example.com", false},
        {"someone@exa_mple.com", false},
        {"@example.com", false},
        {"", false},
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(validEmail(text), valid) << text;
}

TEST(Validation, PasswordLengthsCountCharacters) {
    const std::vector<std::pair<std::string, bool>> cases{
        {"", false},
        {std::string(5, 'a'), false},
        {std::string(6, 'a'), true},
        {std::string(32, 'a'), true},
        {std::string(33, 'a'), false},
        {"  a b ", true},
        {"abc\ndef", false},
        {"äöüäöü", true},  // six characters, twelve bytes
        {"äöüäöüäöüäöüäöüäöüäöüäöüäöüäöüäö", true},
        {"äöüäöüäöüäöüäöüäöüäöüäöüäöüäöüäöü", false},
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(validPassword(text), valid) << text;
}

// Counts how often the password rule is consulted.
class CountingValidation : public Validation {
public:
    bool isValidRegEx(const std::string& text, RegEx regex) override {
        if (regex == RegEx::password) ++passwordChecks;
        return Validation::isValidRegEx(text, regex);
    }
    int passwordChecks = 0;
};

TEST(Validation, StopsAtTheFirstValueThatFails) {
    CountingValidation validation;
    EXPECT_FALSE(validation.validate({{ValidationType::email, "not an address"}, {ValidationType::password, "good-password"}}));
    EXPECT_EQ(validation.passwordChecks, 0);
    EXPECT_TRUE(validation.validate({{ValidationType::email, "a@b.cd"}, {ValidationType::password, "good-password"}}));
    EXPECT_EQ(validation.passwordChecks, 1);
}

TEST(Validation, NoValuesPass) {
    EXPECT_TRUE(Validation::shared().validate({}));
}

TEST(Validation, ASingleCheckAnswersFalseOrNothing) {
    EXPECT_EQ(Validation::shared().isValidString({"", RegEx::password}), false);
    EXPECT_EQ(Validation::shared().isValidString({"short", RegEx::password}), false);
    EXPECT_EQ(Validation::shared().isValidString({"long enough", RegEx::password}), std::nullopt);
}

TEST(RegEx, RawValuesAreThePatterns) {
    EXPECT_EQ(rawValue(RegEx::email).size(), 47u);
    EXPECT_EQ(corvantis::RegExFromRaw("^.{6,32}$"), RegEx::password);
    EXPECT_EQ(corvantis::RegExFromRaw(rawValue(RegEx::email)), RegEx::email);
    EXPECT_FALSE(corvantis::RegExFromRaw("^.{6,33}$"));
}

}  // namespace
