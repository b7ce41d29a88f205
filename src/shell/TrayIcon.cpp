#include "shell/TrayIcon.h"

#include "app/Commands.h"

#include "ui/TrayIconImage.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace postern::shell {

namespace {

constexpr UINT kIconId = 1;

} // namespace

HICON MakeTrayIcon(int size, bool hasUnread)
{
    const TrayIconImage image = MakeTrayIconImage(size, hasUnread);
    if (image.pixels.empty())
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP colour = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!colour)
        return nullptr;
    std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof image.pixels[0]);
    // The colour bitmap's alpha decides; the mask only has to exist.
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    HICON icon = nullptr;
    if (mask) {
        ICONINFO iconInfo{};
        iconInfo.fIcon = TRUE;
        iconInfo.hbmMask = mask;
        iconInfo.hbmColor = colour;
        icon = CreateIconIndirect(&iconInfo);
        DeleteObject(mask);
    }
    DeleteObject(colour);
    return icon;
}

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = kTrayCallbackMessage;
    data.hIcon = showingUnread_ ? unread_ : normal_;
    // The tip holds 128 characters with its terminator.
    const size_t length = std::min(tip_.size(), std::size(data.szTip) - 1);
    std::copy_n(tip_.data(), length, data.szTip);
    data.szTip[length] = L'\0';
    return data;
}

bool TrayIcon::Create(HWND window)
{
    window_ = window;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    const int size = GetSystemMetrics(SM_CXSMICON);
    normal_ = MakeTrayIcon(size, false);
    unread_ = MakeTrayIcon(size, true);
    if (!normal_ || !unread_)
        return false;
    Retry();
    return true;
}

bool TrayIcon::Retry()
{
    if (added_ || !window_ || !normal_)
        return added_;
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    // After Explorer restarted the old icon is gone; a leftover one would
    // make the add fail, so it is deleted first.
    Shell_NotifyIconW(NIM_DELETE, &data);
    added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return added_;
}

bool TrayIcon::Restore()
{
    added_ = false;
    return Retry();
}

void TrayIcon::Show(bool unread, const std::wstring& tip)
{
    showingUnread_ = unread;
    tip_ = tip;
    if (!added_) {
        Retry();
        return;
    }
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP);
    if (!Shell_NotifyIconW(NIM_MODIFY, &data)) {
        added_ = false; // the taskbar lost it; the next retry adds it again
        Retry();
    }
}

void TrayIcon::ShowMenu(bool canCompose) const
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command::trayOpen), L"Open Postern");
    AppendMenuW(menu, MF_STRING | (canCompose ? 0u : static_cast<UINT>(MF_GRAYED)), static_cast<UINT_PTR>(command::trayNewMessage),
                L"New Message");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(command::trayExit), L"Exit");
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without this the menu stays open when the user clicks elsewhere.
    SetForegroundWindow(window_);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, window_, nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void TrayIcon::Remove()
{
    if (added_) {
        NOTIFYICONDATAW data = Data(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
        added_ = false;
    }
    if (normal_)
        DestroyIcon(normal_);
    if (unread_)
        DestroyIcon(unread_);
    normal_ = unread_ = nullptr;
    window_ = nullptr;
}

} // namespace postern::shell
