// WindowBase: what every window of the program shares. The object a window
// belongs to travels as the creation parameter and is kept in the window
// itself (GWLP_USERDATA) from WM_NCCREATE to WM_NCDESTROY, so several
// windows of one class or of many run side by side with no global pointer.
#pragma once

#include <windows.h>

namespace postern::shell {

class WindowBase {
public:
    WindowBase() = default;
    // UI thread. A window that still exists is destroyed first, so that no
    // message can reach a freed object.
    virtual ~WindowBase();
    WindowBase(const WindowBase&) = delete;
    WindowBase& operator=(const WindowBase&) = delete;

    // The window, from WM_NCCREATE until WM_NCDESTROY has been handled;
    // null before and after.
    [[nodiscard]] HWND Handle() const { return window_; }

    // The window procedure for every class whose windows are made by
    // CreateFor.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // CreateWindowExW with this object as the creation parameter. The class
    // must have been registered with WindowProc. Null on failure.
    HWND CreateFor(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                   int width, int height, HWND parent, HINSTANCE instance);

    // Every message from WM_NCCREATE to WM_NCDESTROY. Must not destroy the
    // object; DefWindowProcW for what it does not handle.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // The last call for a window, after WM_NCDESTROY was handled and
    // Handle() became null. An object that owns itself may delete itself
    // here; nothing touches it afterwards.
    virtual void OnFinalMessage() {}

private:
    HWND window_ = nullptr;
};

} // namespace postern::shell
