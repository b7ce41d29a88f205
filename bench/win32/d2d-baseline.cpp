// The least a Direct2D window costs: one window that clears its client area
// and draws one line of text, with the same kind of render target as
// postern.exe (a DC render target) or a window render target ("hwnd").
// Under Wine its resident memory and its frame time are the share of the
// rendering path that no program can avoid: the baselines for postern.exe's
// own. It registers the main window's class and title, so that
// window-driver finds it and times its frames.
//
//   d2d-baseline.exe [dc|hwnd] SECONDS     (closes itself after SECONDS)
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cwchar>

using Microsoft::WRL::ComPtr;

namespace {

struct Baseline {
    bool hwndTarget = false;
    ComPtr<ID2D1Factory> factory;
    ComPtr<IDWriteFactory> write;
    ComPtr<IDWriteTextFormat> format;
    ComPtr<ID2D1DCRenderTarget> dcTarget;
    ComPtr<ID2D1HwndRenderTarget> hwndTargetObject;
    ComPtr<ID2D1SolidColorBrush> brush;
};

Baseline* g_baseline = nullptr; // one window, one process: a tool, not the product

void Draw(ID2D1RenderTarget* target, Baseline& b)
{
    if (!b.brush)
        target->CreateSolidColorBrush(D2D1::ColorF(0.9f, 0.9f, 0.9f), b.brush.GetAddressOf());
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0.08f, 0.09f, 0.1f));
    const wchar_t text[] = L"Direct2D baseline";
    target->DrawText(text, static_cast<UINT32>(std::wcslen(text)), b.format.Get(), D2D1::RectF(20, 20, 400, 60),
                     b.brush.Get());
    target->EndDraw();
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Baseline& b = *g_baseline;
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint{};
        BeginPaint(window, &paint);
        RECT client{};
        GetClientRect(window, &client);
        if (b.hwndTarget) {
            if (!b.hwndTargetObject) {
                b.factory->CreateHwndRenderTarget(
                    D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(), 96, 96),
                    D2D1::HwndRenderTargetProperties(window, D2D1::SizeU(static_cast<UINT32>(client.right),
                                                                         static_cast<UINT32>(client.bottom))),
                    b.hwndTargetObject.GetAddressOf());
            }
            if (b.hwndTargetObject)
                Draw(b.hwndTargetObject.Get(), b);
        } else {
            if (!b.dcTarget) {
                const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
                    D2D1_RENDER_TARGET_TYPE_DEFAULT,
                    D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE), 96, 96);
                b.factory->CreateDCRenderTarget(&properties, b.dcTarget.GetAddressOf());
            }
            if (b.dcTarget && SUCCEEDED(b.dcTarget->BindDC(paint.hdc, &client)))
                Draw(b.dcTarget.Get(), b);
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Baseline b;
    g_baseline = &b;
    b.hwndTarget = argc > 1 && std::wcscmp(argv[1], L"hwnd") == 0;
    const int seconds = argc > 2 ? _wtoi(argv[2]) : 30;
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, b.factory.GetAddressOf())) ||
        FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(b.write.GetAddressOf()))) ||
        FAILED(b.write->CreateTextFormat(L"Segoe UI", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                         DWRITE_FONT_STRETCH_NORMAL, 14, L"", b.format.GetAddressOf()))) {
        return 1;
    }
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"PosternMain"; // so that window-driver finds and times it
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, L"PosternMain", L"Postern", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                  CW_USEDEFAULT, CW_USEDEFAULT, 1280, 840, nullptr, nullptr, windowClass.hInstance,
                                  nullptr);
    if (!window)
        return 1;
    SetTimer(window, 1, static_cast<UINT>(seconds) * 1000u, nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
