// The main window's commands: their ids (menu items, context menus, the
// notification icon, the toolbar and the keyboard all end in one of them),
// the menus that offer them, and the shortcut keys.
#pragma once

#include "ui/ListSelection.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace postern {

namespace command {
inline constexpr int newMessage = 100;
inline constexpr int addAccount = 101;
inline constexpr int exit = 102;
inline constexpr int reply = 103;
inline constexpr int replyAll = 104;
inline constexpr int forward = 105;
inline constexpr int deleteMessages = 106;
inline constexpr int refresh = 107;
inline constexpr int about = 108;
inline constexpr int trayOpen = 109;
inline constexpr int trayNewMessage = 110;
inline constexpr int trayExit = 111;
inline constexpr int markRead = 112;
inline constexpr int markUnread = 113;
inline constexpr int copySender = 114;
inline constexpr int copySubject = 115;
inline constexpr int conversations = 116;
inline constexpr int toggleLock = 117;
inline constexpr int markAllRead = 118;
} // namespace command

// Each account has an Edit and a Remove command in the Accounts submenu.
// The two ranges cannot meet however many accounts there are: an account
// past the range gets no menu item rather than another account's id.
inline constexpr int kEditAccountFirst = 0x1000;
inline constexpr int kRemoveAccountFirst = 0x5000;
inline constexpr size_t kAccountCommandSpan = 0x4000;

enum class AccountAction { edit, remove };
struct AccountCommand {
    AccountAction action;
    size_t account;
};
[[nodiscard]] std::optional<int> AccountCommandId(AccountAction action, size_t account);
[[nodiscard]] std::optional<AccountCommand> AccountCommandOf(int id);

struct MenuEntry {
    enum class Kind { command, separator, accounts };
    Kind kind = Kind::command;
    std::u16string_view text; // "&" marks the access key, "\t" the shortcut
    int id = 0;
};

struct MenuBarMenu {
    std::u16string_view title;
    std::vector<MenuEntry> entries;
};

// The menu bar, left to right.
[[nodiscard]] std::vector<MenuBarMenu> MainMenuBar();
// The entries of one account's submenu.
[[nodiscard]] std::vector<MenuEntry> AccountMenu(size_t account);
// The menu for the current row: what it offers depends on whether the row
// is unread and whether it is locked.
[[nodiscard]] std::vector<MenuEntry> RowContextMenu(bool unread, bool locked);
[[nodiscard]] std::vector<MenuEntry> FolderContextMenu();

// The command a toolbar button runs.
[[nodiscard]] int ToolbarButtonCommand(int32_t buttonId);

// Keys the main window acts on, whatever the keyboard layout calls them.
enum class Key { up, down, pageUp, pageDown, home, end, del, f5, letterF, letterK, letterN, letterR, other };

struct KeyAction {
    enum class Kind { none, listKey, command, focusFilter };
    Kind kind = Kind::none;
    ListKey listKey = ListKey::down;
    int command = 0;
};
[[nodiscard]] KeyAction ActionForKey(Key key, bool ctrl);
// Whether a key pressed while the reading pane's body has the keyboard goes
// to the window: its commands and the filter box do, while the arrows and
// page keys stay with the body to scroll it.
[[nodiscard]] bool ReachesWindowFromBody(Key key, bool ctrl);

} // namespace postern
