// The main window's menu bar, drawn dark by the program, with the accounts
// submenu and the grouping check mark; and the context menus, shown from the
// portable menu tables.
#pragma once

#include "app/Commands.h"

#include <windows.h>

#include <string>
#include <vector>

namespace postern::shell {

class MenuBar {
public:
    MenuBar() = default;
    MenuBar(const MenuBar&) = delete;
    MenuBar& operator=(const MenuBar&) = delete;
    ~MenuBar();

    // Builds the bar and gives it to the window, which destroys it with
    // itself.
    bool Create(HWND window, float scale);
    // One submenu per account, in list order, after every change of the
    // accounts.
    void RebuildAccounts(const std::vector<std::u16string>& names);
    void SetConversationsChecked(bool checked);
    // The menu font for a new DPI; the old one goes only once the new one
    // exists.
    void SetScale(float scale);

    // Draws the bar dark where the window system asks the program to. True
    // when the message was handled; `result` is its answer then.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void DrawBar(HDC dc);
    void DrawItem(const void* item);
    void DrawClientLine();

    HWND window_ = nullptr;
    HMENU bar_ = nullptr;
    HMENU accounts_ = nullptr;
    HFONT font_ = nullptr;
};

// Shows the entries as a popup menu at the screen point and returns the
// chosen command, 0 when none was chosen.
int TrackEntries(HWND window, const std::vector<MenuEntry>& entries, POINT screen);

} // namespace postern::shell
