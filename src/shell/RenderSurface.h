// The Direct2D surface of the main window: the factory and the window's
// render target. Drawing is in pixels (the target runs at 96 DPI), so that
// layout multiplies its units by the window's scale itself.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <wrl/client.h>

#include <string>

namespace postern::shell {

class RenderSurface {
public:
    [[nodiscard]] bool CreateFactory(std::string& error);

    // Makes the render target for `window` ahead of the first paint.
    [[nodiscard]] bool Prepare(HWND window) { return EnsureTarget(window); }

    // After the client area changed size.
    void Resize(UINT width, UINT height);

    // Paints the client area. The target is created on first use and again
    // after the device was lost; a lost device asks for another paint.
    void Paint(HWND window);

    // Drops the target and the factory.
    void Release();

private:
    [[nodiscard]] bool EnsureTarget(HWND window);

    Microsoft::WRL::ComPtr<ID2D1Factory> factory_;
    Microsoft::WRL::ComPtr<ID2D1HwndRenderTarget> target_;
};

} // namespace postern::shell
