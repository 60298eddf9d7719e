// Where the history lives, for each environment it may be started in.

#include <gtest/gtest.h>

#include "history/HistoryPlace.h"

namespace flashtool {
namespace {

TEST(HistoryPlaceTest, EachEnvironmentHasItsPlace) {
    using Path = std::filesystem::path;
    struct Case {
        const char* name;
        HistoryEnvironment environment;
        std::optional<HistoryPlace> place;
    };
    const Path home = "/home/op";
    const Path state = "/srv/state";
    const Path appData = "C:\\Users\\op\\AppData\\Local";
    const Case cases[] = {
        {"user, XDG_STATE_HOME set",
         {false, false, {}, state, home, {}},
         HistoryPlace{state / "flashtool", false}},
        {"user, XDG_STATE_HOME unset",
         {false, false, {}, {}, home, {}},
         HistoryPlace{home / ".local" / "state" / "flashtool", false}},
        {"user, XDG_STATE_HOME empty",
         {false, false, {}, Path(), home, {}},
         HistoryPlace{home / ".local" / "state" / "flashtool", false}},
        {"user, XDG_STATE_HOME relative",
         {false, false, {}, Path("state"), home, {}},
         HistoryPlace{home / ".local" / "state" / "flashtool", false}},
        {"user, no home at all", {false, false, {}, {}, {}, {}}, std::nullopt},
        {"user, relative home", {false, false, {}, {}, Path("op"), {}}, std::nullopt},
        {"root, whatever the user's variables",
         {false, true, {}, state, home, {}},
         HistoryPlace{"/var/lib/flashtool", true}},
        {"root, no home", {false, true, {}, {}, {}, {}}, HistoryPlace{"/var/lib/flashtool", true}},
        {"override, user",
         {false, false, Path("/tmp/h"), state, home, {}},
         HistoryPlace{"/tmp/h", false}},
        {"override, root", {false, true, Path("/tmp/h"), {}, {}, {}}, HistoryPlace{"/tmp/h", true}},
        {"override relative: ignored",
         {false, false, Path("h"), state, home, {}},
         HistoryPlace{state / "flashtool", false}},
        {"Windows",
         {true, false, {}, state, home, appData},
         HistoryPlace{appData / "flashtool", false}},
        {"Windows, an administrator",
         {true, true, {}, {}, {}, appData},
         HistoryPlace{appData / "flashtool", false}},
        {"Windows, no LOCALAPPDATA", {true, false, {}, state, home, {}}, std::nullopt},
    };
    for (const Case& c : cases) {
        const std::optional<HistoryPlace> place = HistoryPlaceFor(c.environment);
        ASSERT_EQ(place.has_value(), c.place.has_value()) << c.name;
        if (place) {
            EXPECT_EQ(place->directory, c.place->directory) << c.name;
            EXPECT_EQ(place->shared, c.place->shared) << c.name;
        }
    }
    const HistoryEnvironment user{false, false, {}, {}, home, {}};
    EXPECT_EQ(HistoryPlaceFor(user, "flashtool-emulated")->directory,
              home / ".local" / "state" / "flashtool-emulated");
}

}  // namespace
}  // namespace flashtool
