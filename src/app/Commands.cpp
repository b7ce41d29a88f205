#include "app/Commands.h"

#include "ui/MainLayout.h"

namespace postern {

namespace {

MenuEntry Item(std::u16string_view text, int id)
{
    return {MenuEntry::Kind::command, text, id};
}

MenuEntry Separator()
{
    return {MenuEntry::Kind::separator, {}, 0};
}

} // namespace

std::optional<int> AccountCommandId(AccountAction action, size_t account)
{
    if (account >= kAccountCommandSpan)
        return std::nullopt;
    const int first = action == AccountAction::edit ? kEditAccountFirst : kRemoveAccountFirst;
    return first + static_cast<int>(account);
}

std::optional<AccountCommand> AccountCommandOf(int id)
{
    const auto span = static_cast<int>(kAccountCommandSpan);
    if (id >= kEditAccountFirst && id < kEditAccountFirst + span)
        return AccountCommand{AccountAction::edit, static_cast<size_t>(id - kEditAccountFirst)};
    if (id >= kRemoveAccountFirst && id < kRemoveAccountFirst + span)
        return AccountCommand{AccountAction::remove, static_cast<size_t>(id - kRemoveAccountFirst)};
    return std::nullopt;
}

std::vector<MenuBarMenu> MainMenuBar()
{
    return {
        {u"&File",
         {Item(u"&Add Account\u2026", command::addAccount), {MenuEntry::Kind::accounts, u"A&ccounts", 0}, Separator(),
          Item(u"E&xit", command::exit)}},
        {u"&Message", {Item(u"&Delete\tDel", command::deleteMessages)}},
        {u"&View",
         {Item(u"&Refresh\tF5", command::refresh), Separator(),
          Item(u"Group into &Conversations", command::conversations)}},
        {u"&Help", {Item(u"&About Postern", command::about)}},
    };
}

std::vector<MenuEntry> AccountMenu(size_t account)
{
    std::vector<MenuEntry> entries;
    if (const std::optional<int> edit = AccountCommandId(AccountAction::edit, account))
        entries.push_back(Item(u"&Edit\u2026", *edit));
    if (const std::optional<int> remove = AccountCommandId(AccountAction::remove, account))
        entries.push_back(Item(u"&Remove\u2026", *remove));
    return entries;
}

std::vector<MenuEntry> RowContextMenu(bool unread, bool locked)
{
    return {
        unread ? Item(u"Mark as Read", command::markRead) : Item(u"Mark as Unread", command::markUnread),
        locked ? Item(u"Unlock", command::toggleLock) : Item(u"Lock (protect from deletion)", command::toggleLock),
        Separator(),
        Item(u"Copy Sender Address", command::copySender),
        Item(u"Copy Subject", command::copySubject),
        Separator(),
        Item(u"Delete", command::deleteMessages),
    };
}

std::vector<MenuEntry> FolderContextMenu()
{
    return {Item(u"Mark All as Read", command::markAllRead)};
}

int ToolbarButtonCommand(int32_t buttonId)
{
    switch (buttonId) {
    case 1:
        return command::newMessage;
    case 2:
        return command::reply;
    case 3:
        return command::replyAll;
    case 4:
        return command::forward;
    case kDeleteButton:
        return command::deleteMessages;
    case 6:
        return command::refresh;
    default:
        return 0;
    }
}

KeyAction ActionForKey(Key key, bool ctrl)
{
    const auto list = [](ListKey k) { return KeyAction{KeyAction::Kind::listKey, k, 0}; };
    const auto run = [](int id) { return KeyAction{KeyAction::Kind::command, ListKey::down, id}; };
    if (ctrl) {
        switch (key) {
        case Key::letterF:
        case Key::letterK:
            return {KeyAction::Kind::focusFilter, ListKey::down, 0};
        case Key::letterN:
            return run(command::newMessage);
        case Key::letterR:
            return run(command::reply);
        default:
            return {};
        }
    }
    switch (key) {
    case Key::up:
        return list(ListKey::up);
    case Key::down:
        return list(ListKey::down);
    case Key::pageUp:
        return list(ListKey::pageUp);
    case Key::pageDown:
        return list(ListKey::pageDown);
    case Key::home:
        return list(ListKey::home);
    case Key::end:
        return list(ListKey::end);
    case Key::del:
        return run(command::deleteMessages);
    case Key::f5:
        return run(command::refresh);
    default:
        return {};
    }
}

bool ReachesWindowFromBody(Key key, bool ctrl)
{
    const KeyAction::Kind kind = ActionForKey(key, ctrl).kind;
    return kind == KeyAction::Kind::command || kind == KeyAction::Kind::focusFilter;
}

} // namespace postern
