// The command table: account commands that cannot collide, the menus'
// entries, and the keys.
#include "app/Commands.h"
#include "ui/MainLayout.h"

#include <gtest/gtest.h>

#include <set>

namespace postern {
namespace {

TEST(Commands, AccountCommandsNeverMeetOtherCommandsOrEachOther)
{
    std::set<int> ids;
    for (size_t account : {size_t{0}, size_t{1}, size_t{99}, size_t{100}, size_t{5000}, kAccountCommandSpan - 1}) {
        for (const AccountAction action : {AccountAction::edit, AccountAction::remove}) {
            const std::optional<int> id = AccountCommandId(action, account);
            ASSERT_TRUE(id);
            EXPECT_TRUE(ids.insert(*id).second) << *id;
            EXPECT_LE(*id, 0xFFFF) << "a menu id is 16 bits";
            const std::optional<AccountCommand> back = AccountCommandOf(*id);
            ASSERT_TRUE(back);
            EXPECT_EQ(back->action, action);
            EXPECT_EQ(back->account, account);
        }
    }
    EXPECT_FALSE(AccountCommandId(AccountAction::remove, kAccountCommandSpan));
    for (const int other : {100, 118, 300, 301, 401})
        EXPECT_FALSE(AccountCommandOf(other)) << other;
}

TEST(Commands, MenusOfferWhatTheRowAndTheFolderAllow)
{
    const auto texts = [](const std::vector<MenuEntry>& entries) {
        std::vector<std::u16string> out;
        for (const MenuEntry& entry : entries)
            out.emplace_back(entry.kind == MenuEntry::Kind::separator ? u"-" : entry.text);
        return out;
    };
    EXPECT_EQ(texts(RowContextMenu(true, false)),
              (std::vector<std::u16string>{u"Mark as Read", u"Lock (protect from deletion)", u"-",
                                           u"Copy Sender Address", u"Copy Subject", u"-", u"Delete"}));
    const std::vector<MenuEntry> readLocked = RowContextMenu(false, true);
    EXPECT_EQ(readLocked[0].id, command::markUnread);
    EXPECT_EQ(readLocked[1].text, u"Unlock");
    EXPECT_EQ(texts(FolderContextMenu()), std::vector<std::u16string>{u"Mark All as Read"});

    std::vector<std::u16string> titles;
    for (const MenuBarMenu& menu : MainMenuBar())
        titles.emplace_back(menu.title);
    EXPECT_EQ(titles, (std::vector<std::u16string>{u"&File", u"&Message", u"&View", u"&Help"}));
    EXPECT_EQ(AccountMenu(3).at(0).id, kEditAccountFirst + 3);
    EXPECT_EQ(AccountMenu(3).at(1).id, kRemoveAccountFirst + 3);
    EXPECT_EQ(MainMenuBar().front().entries.front().id, command::addAccount);
    EXPECT_EQ(ToolbarButtonCommand(kDeleteButton), command::deleteMessages);
    EXPECT_EQ(ToolbarButtonCommand(1), command::newMessage);
}

TEST(Commands, KeysMapToListMovesCommandsAndTheFilterBox)
{
    struct Case {
        Key key;
        bool ctrl;
        KeyAction::Kind kind;
        int command;
        bool fromBody; // reaches the window while the body has the keyboard
    } const cases[] = {
        {Key::del, false, KeyAction::Kind::command, command::deleteMessages, true},
        {Key::f5, false, KeyAction::Kind::command, command::refresh, true},
        {Key::letterN, true, KeyAction::Kind::command, command::newMessage, true},
        {Key::letterR, true, KeyAction::Kind::command, command::reply, true},
        {Key::letterF, true, KeyAction::Kind::focusFilter, 0, true},
        {Key::letterK, true, KeyAction::Kind::focusFilter, 0, true},
        {Key::letterK, false, KeyAction::Kind::none, 0, false},
        {Key::down, false, KeyAction::Kind::listKey, 0, false},
        {Key::down, true, KeyAction::Kind::none, 0, false},
        {Key::other, false, KeyAction::Kind::none, 0, false},
    };
    for (const Case& c : cases) {
        const KeyAction action = ActionForKey(c.key, c.ctrl);
        EXPECT_EQ(action.kind, c.kind) << static_cast<int>(c.key) << " ctrl " << c.ctrl;
        EXPECT_EQ(action.command, c.command) << static_cast<int>(c.key);
        EXPECT_EQ(ReachesWindowFromBody(c.key, c.ctrl), c.fromBody) << static_cast<int>(c.key);
    }
    EXPECT_EQ(ActionForKey(Key::pageUp, false).listKey, ListKey::pageUp);
}

} // namespace
} // namespace postern
