// The Direct2D surface of the main window: the factories, the render
// target, one brush whose colour changes per shape, and the five text
// formats at the window's scale. It draws a portable Scene shape by shape;
// what goes where is decided by the core. Drawing is in pixels (the target
// runs at 96 DPI), so that the layout multiplies its units by the scale.
//
// The target draws into the paint DC rather than owning a swap chain on the
// window: a swap chain's surface covers the window's child controls under
// Wine (the filter box would stay invisible), while a DC respects the
// clipping of WS_CLIPCHILDREN everywhere.
#pragma once

#include "ui/Scene.h"

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <array>
#include <string>
#include <string_view>

namespace postern::shell {

class RenderSurface {
public:
    [[nodiscard]] bool CreateFactory(std::string& error);

    // The text formats for this scale (window DPI / 96); made again on
    // every DPI change.
    [[nodiscard]] bool SetScale(float scale, std::string& error);

    // Paints the scene into the paint DC of `window` (between BeginPaint and
    // EndPaint), over its whole client area. The target is created on first
    // use and again after the device was lost; a lost device asks for
    // another paint.
    void Paint(HWND window, HDC dc, const Scene& scene);

    // The width in pixels of a line of text in one of the formats, trailing
    // spaces included; 0 when it cannot be measured.
    [[nodiscard]] float MeasureText(std::u16string_view text, SceneFont font) const;

    // Drops the target, the brush, the formats and the factories.
    void Release();

private:
    [[nodiscard]] bool EnsureTarget();
    void Draw(const Shape& shape);
    void UseColour(uint32_t colour, float alpha);

    Microsoft::WRL::ComPtr<ID2D1Factory> factory_;
    Microsoft::WRL::ComPtr<IDWriteFactory> writeFactory_;
    Microsoft::WRL::ComPtr<ID2D1DCRenderTarget> target_;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush_;
    std::array<Microsoft::WRL::ComPtr<IDWriteTextFormat>, 5> formats_; // by SceneFont
};

} // namespace postern::shell
