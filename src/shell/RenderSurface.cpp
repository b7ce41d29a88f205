#include "shell/RenderSurface.h"

#include <cstdio>

namespace postern::shell {

namespace {

// The window background, #14161A.
constexpr UINT32 kBackground = 0x14161A;

std::string HresultText(const char* what, HRESULT hr)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

} // namespace

bool RenderSurface::CreateFactory(std::string& error)
{
    // Single-threaded: only the UI thread draws.
    const HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, factory_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        error = HresultText("creating the Direct2D factory", hr);
        return false;
    }
    return true;
}

bool RenderSurface::EnsureTarget(HWND window)
{
    if (target_)
        return true;
    if (!factory_)
        return false;
    RECT client{};
    GetClientRect(window, &client);
    const D2D1_SIZE_U size = D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                                         static_cast<UINT32>(client.bottom - client.top));
    const D2D1_RENDER_TARGET_PROPERTIES properties =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96.0f, 96.0f);
    const HRESULT hr = factory_->CreateHwndRenderTarget(properties, D2D1::HwndRenderTargetProperties(window, size),
                                                        target_.ReleaseAndGetAddressOf());
    return SUCCEEDED(hr);
}

void RenderSurface::Resize(UINT width, UINT height)
{
    if (target_ && FAILED(target_->Resize(D2D1::SizeU(width, height))))
        target_.Reset(); // made again, at the new size, by the next paint
}

void RenderSurface::Paint(HWND window)
{
    if (!EnsureTarget(window))
        return;
    target_->BeginDraw();
    target_->Clear(D2D1::ColorF(kBackground));
    if (target_->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        target_.Reset();
        InvalidateRect(window, nullptr, FALSE);
    }
}

void RenderSurface::Release()
{
    target_.Reset();
    factory_.Reset();
}

} // namespace postern::shell
