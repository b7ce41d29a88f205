// The notification-area icon of the main window: two images (with and
// without unread mail), the tooltip, and the small menu. It comes back when
// Explorer restarts ("TaskbarCreated") and after an add that failed, e.g.
// at log-on before the taskbar exists.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace postern::shell {

// The window message the icon reports the mouse with.
inline constexpr UINT kTrayCallbackMessage = WM_APP + 40;

class TrayIcon {
public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon() { Remove(); }

    // Makes the images at the system's small-icon size and adds the icon
    // with the tip "Postern". False when the images could not be made; an
    // add the shell refuses is tried again later (Retry).
    bool Create(HWND window);

    // The tooltip and image follow the unread mail.
    void Show(bool unread, const std::wstring& tip);

    // Adds the icon if it is not shown: on the retry timer while an add has
    // failed. True once it is shown.
    bool Retry();
    // After "TaskbarCreated": Explorer restarted and forgot every icon.
    bool Restore();

    [[nodiscard]] bool Added() const { return added_; }
    [[nodiscard]] UINT TaskbarCreatedMessage() const { return taskbarCreated_; }

    // The menu of a right click, at the cursor. `canCompose`: "New Message"
    // is offered only when a compose window can open.
    void ShowMenu(bool canCompose) const;

    // Removes the icon and destroys the images (WM_DESTROY).
    void Remove();

private:
    [[nodiscard]] NOTIFYICONDATAW Data(UINT flags) const;

    HWND window_ = nullptr;
    HICON normal_ = nullptr;
    HICON unread_ = nullptr;
    bool showingUnread_ = false;
    std::wstring tip_ = L"Postern";
    bool added_ = false;
    UINT taskbarCreated_ = 0;
};

// An icon from the portable image (nullptr on failure); the caller destroys it.
[[nodiscard]] HICON MakeTrayIcon(int size, bool hasUnread);

} // namespace postern::shell
