#include "shell/RenderSurface.h"

#include "ui/Palette.h"

#include <cstdio>

namespace postern::shell {

namespace {

std::string HresultText(const char* what, HRESULT hr)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s failed (0x%08lX)", what, static_cast<unsigned long>(hr));
    return text;
}

struct FormatSpec {
    float size;
    DWRITE_FONT_WEIGHT weight;
};

// In SceneFont order.
constexpr FormatSpec kFormats[] = {
    {14, DWRITE_FONT_WEIGHT_NORMAL},    // body
    {14, DWRITE_FONT_WEIGHT_SEMI_BOLD}, // bodyStrong
    {12, DWRITE_FONT_WEIGHT_NORMAL},    // small
    {18, DWRITE_FONT_WEIGHT_SEMI_BOLD}, // title
    {15, DWRITE_FONT_WEIGHT_BLACK},     // brand
};

D2D1_RECT_F ToD2D(const Rect& r)
{
    return D2D1::RectF(r.left, r.top, r.right, r.bottom);
}

// 0x00BBGGRR, as the core passes colours around.
D2D1_COLOR_F ToD2D(uint32_t colour, float alpha)
{
    return D2D1::ColorF(static_cast<float>(colour & 0xFF) / 255.0f, static_cast<float>((colour >> 8) & 0xFF) / 255.0f,
                        static_cast<float>((colour >> 16) & 0xFF) / 255.0f, alpha);
}

} // namespace

bool RenderSurface::CreateFactory(std::string& error)
{
    // Single-threaded: only the UI thread draws.
    HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, factory_.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        error = HresultText("creating the Direct2D factory", hr);
        return false;
    }
    hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                             reinterpret_cast<IUnknown**>(writeFactory_.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) {
        error = HresultText("creating the DirectWrite factory", hr);
        return false;
    }
    return true;
}

bool RenderSurface::SetScale(float scale, std::string& error)
{
    if (!writeFactory_)
        return false;
    std::array<Microsoft::WRL::ComPtr<IDWriteTextFormat>, 5> made;
    for (size_t i = 0; i < made.size(); ++i) {
        HRESULT hr = writeFactory_->CreateTextFormat(L"Segoe UI", nullptr, kFormats[i].weight, DWRITE_FONT_STYLE_NORMAL,
                                                     DWRITE_FONT_STRETCH_NORMAL, kFormats[i].size * scale, L"",
                                                     made[i].GetAddressOf());
        if (FAILED(hr)) {
            error = HresultText("creating a text format", hr);
            return false;
        }
        made[i]->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
        // Every text that does not fit ends in an ellipsis.
        Microsoft::WRL::ComPtr<IDWriteInlineObject> ellipsis;
        if (SUCCEEDED(writeFactory_->CreateEllipsisTrimmingSign(made[i].Get(), ellipsis.GetAddressOf()))) {
            const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
            made[i]->SetTrimming(&trimming, ellipsis.Get());
        }
    }
    formats_ = made; // the old ones go only once all new ones exist
    return true;
}

bool RenderSurface::EnsureTarget()
{
    if (target_)
        return true;
    if (!factory_)
        return false;
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE), 96.0f,
        96.0f);
    if (FAILED(factory_->CreateDCRenderTarget(&properties, target_.ReleaseAndGetAddressOf())))
        return false;
    if (FAILED(target_->CreateSolidColorBrush(ToD2D(palette::primaryText, 1.0f), brush_.ReleaseAndGetAddressOf()))) {
        target_.Reset();
        return false;
    }
    // Grey-scale text reads the same on every background of the dark theme.
    target_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    return true;
}

void RenderSurface::UseColour(uint32_t colour, float alpha)
{
    brush_->SetColor(ToD2D(colour, alpha));
}

void RenderSurface::Draw(const Shape& shape)
{
    const Rect& r = shape.rect;
    switch (shape.kind) {
    case ShapeKind::pushClip:
        target_->PushAxisAlignedClip(ToD2D(r), D2D1_ANTIALIAS_MODE_ALIASED);
        return;
    case ShapeKind::popClip:
        target_->PopAxisAlignedClip();
        return;
    default:
        break;
    }
    UseColour(shape.colour, shape.alpha);
    switch (shape.kind) {
    case ShapeKind::fillRect:
        target_->FillRectangle(ToD2D(r), brush_.Get());
        break;
    case ShapeKind::fillRoundRect:
        target_->FillRoundedRectangle(D2D1::RoundedRect(ToD2D(r), shape.radius, shape.radius), brush_.Get());
        break;
    case ShapeKind::strokeRoundRect:
        target_->DrawRoundedRectangle(D2D1::RoundedRect(ToD2D(r), shape.radius, shape.radius), brush_.Get(),
                                      shape.width);
        break;
    case ShapeKind::strokeRect:
        target_->DrawRectangle(ToD2D(r), brush_.Get(), shape.width);
        break;
    case ShapeKind::line:
        target_->DrawLine(D2D1::Point2F(r.left, r.top), D2D1::Point2F(r.right, r.bottom), brush_.Get(), shape.width);
        break;
    case ShapeKind::fillCircle:
        target_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(r.left, r.top), shape.radius, shape.radius), brush_.Get());
        break;
    case ShapeKind::strokeCircle:
        target_->DrawEllipse(D2D1::Ellipse(D2D1::Point2F(r.left, r.top), shape.radius, shape.radius), brush_.Get(),
                             shape.width);
        break;
    case ShapeKind::text: {
        IDWriteTextFormat* format = formats_[static_cast<size_t>(shape.font)].Get();
        if (!format)
            break;
        target_->DrawText(reinterpret_cast<const wchar_t*>(shape.text.data()), static_cast<UINT32>(shape.text.size()),
                          format, ToD2D(r), brush_.Get(), D2D1_DRAW_TEXT_OPTIONS_CLIP, DWRITE_MEASURING_MODE_NATURAL);
        break;
    }
    default:
        break;
    }
}

void RenderSurface::Paint(HWND window, HDC dc, const Scene& scene)
{
    RECT client{};
    GetClientRect(window, &client);
    if (client.right <= client.left || client.bottom <= client.top || !EnsureTarget())
        return; // minimized: nothing to draw
    if (FAILED(target_->BindDC(dc, &client)))
        return;
    target_->BeginDraw();
    target_->Clear(ToD2D(palette::background, 1.0f));
    for (const Shape& shape : scene.Shapes())
        Draw(shape);
    if (target_->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        brush_.Reset();
        target_.Reset();
        InvalidateRect(window, nullptr, FALSE);
    }
}

float RenderSurface::MeasureText(std::u16string_view text, SceneFont font) const
{
    IDWriteTextFormat* format = formats_[static_cast<size_t>(font)].Get();
    if (!writeFactory_ || !format)
        return 0;
    const std::wstring wide(text.begin(), text.end());
    Microsoft::WRL::ComPtr<IDWriteTextLayout> layout;
    if (FAILED(writeFactory_->CreateTextLayout(wide.c_str(), static_cast<UINT32>(wide.size()), format, 10000.0f,
                                               100.0f, &layout)))
        return 0;
    DWRITE_TEXT_METRICS metrics{};
    if (FAILED(layout->GetMetrics(&metrics)))
        return 0;
    return metrics.widthIncludingTrailingWhitespace;
}

void RenderSurface::Release()
{
    brush_.Reset();
    target_.Reset();
    for (auto& format : formats_)
        format.Reset();
    writeFactory_.Reset();
    factory_.Reset();
}

} // namespace postern::shell
