#include "user_actions.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace zirvak {
namespace {

// Splits a key list of the table by its separator.
std::vector<std::string> Keys(std::string_view list, std::string_view separator) {
    std::vector<std::string> keys;
    while (!list.empty()) {
        const size_t end = list.find(separator);
        keys.emplace_back(list.substr(0, end));
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + separator.size());
    }
    return keys;
}

// A key bound to two actions would do only one of them, and which one depends on the front end.
TEST(UserActions, NoKeyAsksForTwoThings) {
    std::map<std::string, UserAction> window, terminal;
    for (const UserActionKeys& entry : UserActionTable()) {
        for (const std::string& key : Keys(entry.windowKeys, "; "))
            EXPECT_TRUE(window.emplace(key, entry.action).second) << key;
        for (const std::string& key : Keys(entry.terminalKeys, " "))
            EXPECT_TRUE(terminal.emplace(key, entry.action).second) << key;
    }
    for (const auto& [key, action] : terminal) EXPECT_EQ(TerminalAction(key), action) << key;
}

TEST(UserActions, TheTerminalKeysAskForWhatTheWindowsDo) {
    const std::pair<std::string, std::optional<UserAction>> cases[] = {
        {"Space", UserAction::Pause},
        {"n", UserAction::NextSong},
        {"N", UserAction::NextSong},
        {"B", UserAction::PreviousSong},
        {"=", UserAction::VolumeUp},
        {"-", UserAction::VolumeDown},
        {"q", UserAction::Close},
        {"Shift+Left", UserAction::LongSeekBack},
        {"Home", UserAction::ToSongStart},
        {"x", std::nullopt},
        {"", std::nullopt},
        {" ", std::nullopt},
        {"Up +", std::nullopt},
    };
    for (const auto& [key, action] : cases) EXPECT_EQ(TerminalAction(key), action) << key;
}

}  // namespace
}  // namespace zirvak
