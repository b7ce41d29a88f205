#include "shell/Menus.h"

#include "shell/WideText.h"

#include <iterator>

namespace postern::shell {

namespace {

// Undocumented messages the window system sends to let a program draw its
// menu bar, with the leading fields of their data, which is all we read.
constexpr UINT kDrawMenuBarMessage = 0x91;
constexpr UINT kDrawMenuItemMessage = 0x92;

struct UahMenu {
    HMENU menu;
    HDC dc;
    DWORD flags;
};
struct UahMenuItem {
    int position;
    DWORD sizes[8];
    DWORD popupWidths[4];
    DWORD popupFlags;
};
struct UahDrawMenuItem {
    DRAWITEMSTRUCT draw;
    UahMenu menu;
    UahMenuItem item;
};

constexpr COLORREF kBarColour = RGB(0x1B, 0x1E, 0x24);
constexpr COLORREF kHotColour = RGB(0x23, 0x28, 0x30);
constexpr COLORREF kTextColour = RGB(0xE8, 0xE6, 0xE3);
constexpr COLORREF kGreyTextColour = RGB(0x9A, 0xA0, 0xA8);
constexpr COLORREF kLineColour = RGB(0x2A, 0x2F, 0x38);

void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    if (HBRUSH brush = CreateSolidBrush(colour)) {
        FillRect(dc, &rect, brush);
        DeleteObject(brush);
    }
}

void AppendEntries(HMENU menu, const std::vector<MenuEntry>& entries, HMENU accounts)
{
    for (const MenuEntry& entry : entries) {
        switch (entry.kind) {
        case MenuEntry::Kind::separator:
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            break;
        case MenuEntry::Kind::accounts:
            if (accounts)
                AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(accounts), Wide(entry.text).c_str());
            break;
        case MenuEntry::Kind::command:
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(entry.id), Wide(entry.text).c_str());
            break;
        }
    }
}

HFONT MenuFont(float scale)
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    const UINT dpi = static_cast<UINT>(96.0f * scale + 0.5f);
    if (!SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi) &&
        !SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return nullptr;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

} // namespace

MenuBar::~MenuBar()
{
    if (font_)
        DeleteObject(font_);
}

bool MenuBar::Create(HWND window, float scale)
{
    window_ = window;
    bar_ = CreateMenu();
    accounts_ = CreatePopupMenu();
    if (!bar_ || !accounts_)
        return false;
    for (const MenuBarMenu& menu : MainMenuBar()) {
        HMENU popup = CreatePopupMenu();
        AppendEntries(popup, menu.entries, accounts_);
        AppendMenuW(bar_, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Wide(menu.title).c_str());
    }
    SetScale(scale);
    return SetMenu(window, bar_) != FALSE;
}

void MenuBar::RebuildAccounts(const std::vector<std::u16string>& names)
{
    if (!accounts_)
        return;
    while (GetMenuItemCount(accounts_) > 0)
        DeleteMenu(accounts_, 0, MF_BYPOSITION); // destroys the account's submenu too
    for (size_t i = 0; i < names.size(); ++i) {
        const std::vector<MenuEntry> entries = AccountMenu(i);
        if (entries.empty())
            break; // past the accounts that commands can name
        HMENU account = CreatePopupMenu();
        AppendEntries(account, entries, nullptr);
        AppendMenuW(accounts_, MF_POPUP, reinterpret_cast<UINT_PTR>(account), Wide(names[i]).c_str());
    }
    if (window_)
        DrawMenuBar(window_);
}

void MenuBar::SetConversationsChecked(bool checked)
{
    if (bar_)
        CheckMenuItem(bar_, command::conversations, MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MenuBar::SetScale(float scale)
{
    HFONT font = MenuFont(scale);
    if (!font)
        return;
    if (font_)
        DeleteObject(font_);
    font_ = font;
    if (window_)
        DrawMenuBar(window_);
}

bool MenuBar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case kDrawMenuBarMessage:
        DrawBar(reinterpret_cast<const UahMenu*>(lParam)->dc);
        result = 1;
        return true;
    case kDrawMenuItemMessage:
        DrawItem(reinterpret_cast<const void*>(lParam));
        result = 1;
        return true;
    case WM_NCPAINT:
    case WM_NCACTIVATE:
        // The system draws a light line under the bar; paint over it.
        result = DefWindowProcW(window_, message, wParam, lParam);
        DrawClientLine();
        return true;
    default:
        return false;
    }
}

void MenuBar::DrawBar(HDC dc)
{
    MENUBARINFO info{};
    info.cbSize = sizeof info;
    RECT window{};
    if (!GetMenuBarInfo(window_, OBJID_MENU, 0, &info) || !GetWindowRect(window_, &window))
        return;
    OffsetRect(&info.rcBar, -window.left, -window.top);
    Fill(dc, info.rcBar, kBarColour);
}

void MenuBar::DrawItem(const void* data)
{
    const auto* item = static_cast<const UahDrawMenuItem*>(data);
    const DRAWITEMSTRUCT& draw = item->draw;
    const UINT state = draw.itemState;
    const bool hot = (state & (ODS_HOTLIGHT | ODS_SELECTED)) != 0;
    const bool grey = (state & (ODS_GRAYED | ODS_DISABLED | ODS_INACTIVE)) != 0;
    RECT rect = draw.rcItem;
    Fill(draw.hDC, rect, hot ? kHotColour : kBarColour);

    wchar_t text[64] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text) - 1);
    if (!GetMenuItemInfoW(item->menu.menu, static_cast<UINT>(item->item.position), TRUE, &info))
        return;
    HGDIOBJ old = font_ ? SelectObject(draw.hDC, font_) : nullptr;
    SetBkMode(draw.hDC, TRANSPARENT);
    SetTextColor(draw.hDC, grey ? kGreyTextColour : kTextColour);
    UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    if (state & ODS_NOACCEL)
        format |= DT_HIDEPREFIX;
    DrawTextW(draw.hDC, text, -1, &rect, format);
    if (old)
        SelectObject(draw.hDC, old);
}

void MenuBar::DrawClientLine()
{
    RECT client{};
    RECT window{};
    if (!GetMenu(window_) || !GetClientRect(window_, &client) || !GetWindowRect(window_, &window))
        return;
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT line{client.left - window.left, client.top - window.top - 1, client.right - window.left,
                    client.top - window.top};
    if (HDC dc = GetWindowDC(window_)) {
        Fill(dc, line, kLineColour);
        ReleaseDC(window_, dc);
    }
}

int TrackEntries(HWND window, const std::vector<MenuEntry>& entries, POINT screen)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return 0;
    AppendEntries(menu, entries, nullptr);
    // Without the foreground the menu would not close on a click elsewhere;
    // the posted null message lets it close at once after a choice.
    SetForegroundWindow(window);
    const BOOL chosen =
        TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screen.x, screen.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return static_cast<int>(chosen);
}

} // namespace postern::shell
