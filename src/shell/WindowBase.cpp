#include "shell/WindowBase.h"

namespace postern::shell {

WindowBase::~WindowBase()
{
    if (window_) {
        // Detached first: the messages DestroyWindow sends must not reach
        // the part of the object that is already gone.
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
        window_ = nullptr;
    }
}

HWND WindowBase::CreateFor(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x,
                           int y, int width, int height, HWND parent, HINSTANCE instance)
{
    return CreateWindowExW(exStyle, className, title, style, x, y, width, height, parent, nullptr, instance, this);
}

LRESULT CALLBACK WindowBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowBase* self = nullptr;
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        self = static_cast<WindowBase*>(create->lpCreateParams);
        if (self) {
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    } else {
        self = reinterpret_cast<WindowBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    // A few messages (WM_GETMINMAXINFO) come before WM_NCCREATE.
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message != WM_NCDESTROY)
        return self->HandleMessage(message, wParam, lParam);

    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    self->window_ = nullptr;
    self->OnFinalMessage();
    return result;
}

} // namespace postern::shell
