#include "app/ApiService.hpp"
#include "app/ErrorString.hpp"
#include "fixtures/UserTexts.hpp"
#include "platform/foundation/URLError.hpp"

#include <gtest/gtest.h>

using corvantis::ApiService;
using corvantis::ApiServiceError;
using corvantis::ErrorString;

namespace {

using corvantis::testing::texts::checkInternet;
using corvantis::testing::texts::maintenance;

TEST(ErrorString, HasTheTwoFixedTextsAndNothingElse) {
    EXPECT_EQ(rawValue(ErrorString::maintenance), maintenance);
    EXPECT_EQ(rawValue(ErrorString::checkInternet), checkInternet);
    EXPECT_EQ(corvantis::ErrorStringFromRaw(maintenance), ErrorString::maintenance);
    EXPECT_EQ(corvantis::ErrorStringFromRaw(checkInternet), ErrorString::checkInternet);
    EXPECT_FALSE(corvantis::ErrorStringFromRaw(maintenance + "."));
}

TEST(ErrorMessage, MapsEveryFailureToTheUsersText) {
    const std::vector<std::tuple<const char*, ApiServiceError, std::string>> cases{
        {"as is", ApiServiceError::errorAsIs("Back at 14:00"), "Back at 14:00"},
        {"as is, empty", ApiServiceError::errorAsIs(""), ""},
        {"line break", ApiServiceError::error("one<br />two"), "one two"},
        {"paragraph", ApiServiceError::error("<p>word</p>"), "word"},
        {"markup wins over credentials", ApiServiceError::error("<b>The user credentials were incorrect</b>"),
         "The user credentials were incorrect"},
        {"markup to nothing", ApiServiceError::error("<br>"), ""},
        {"a lone bracket", ApiServiceError::error("a < b"), "a < b"},
        {"empty brackets", ApiServiceError::error("a <> b"), "a <> b"},
        {"nested opening", ApiServiceError::error("x<<y>z"), "xz"},
        {"credentials", ApiServiceError::error("The user credentials were incorrect."),
         "Login failed: invalid username or password"},
        {"unregistered inside", ApiServiceError::error("Error: Unregistered device (id 5)"), "Unregistered device"},
        {"unregistered in lower case", ApiServiceError::error("unregistered device"), checkInternet},
        {"empty", ApiServiceError::error(""), checkInternet},
        {"anything else", ApiServiceError::error("Internal error"), checkInternet},
        {"a missing key", ApiServiceError::jsonError("access_token"), maintenance},
        {"no data, no error", ApiServiceError::dataError(std::nullopt), checkInternet},
        {"no data, timed out",
         ApiServiceError::dataError(platform::foundation::URLError::make(platform::foundation::URLError::timedOut)),
         checkInternet},
    };
    for (const auto& [what, error, text] : cases) {
        EXPECT_EQ(ApiService::errorMessage("", error), text) << what;
        EXPECT_EQ(ApiService::errorMessage("login", error), text) << what << " (with a prefix)";
    }
}

}  // namespace
