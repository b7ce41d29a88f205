// A frame of the main window as a list of shapes in client pixels, built by
// portable code and drawn by the shell one shape at a time: the shell holds
// no layout, and what a frame shows can be checked without a window.
#pragma once

#include "ui/Geometry.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The five text formats: family "Segoe UI", no wrapping, an ellipsis where
// the text does not fit.
enum class SceneFont : uint8_t {
    body,       // 14, regular
    bodyStrong, // 14, semibold
    small,      // 12, regular
    title,      // 18, semibold
    brand,      // 15, black
};

enum class ShapeKind : uint8_t {
    fillRect,
    fillRoundRect,
    strokeRoundRect,
    strokeRect,
    line,         // from (rect.left, rect.top) to (rect.right, rect.bottom)
    fillCircle,   // centre (rect.left, rect.top), radius
    strokeCircle, // centre (rect.left, rect.top), radius
    text,         // clipped to rect
    pushClip,
    popClip,
};

struct Shape {
    ShapeKind kind = ShapeKind::fillRect;
    Rect rect;
    float radius = 0;
    float width = 1;     // stroke width, pixels
    uint32_t colour = 0; // 0x00BBGGRR
    float alpha = 1;
    SceneFont font = SceneFont::body;
    std::u16string text;
};

// Appends shapes; texts lose their bidirectional controls on the way in.
class Scene {
public:
    void FillRect(const Rect& r, uint32_t colour, float alpha = 1);
    void FillRoundRect(const Rect& r, float radius, uint32_t colour, float alpha = 1);
    void StrokeRoundRect(const Rect& r, float radius, uint32_t colour, float width);
    void StrokeRect(const Rect& r, uint32_t colour, float width);
    void Line(Point from, Point to, uint32_t colour, float width, float alpha = 1);
    void FillCircle(Point centre, float radius, uint32_t colour);
    void StrokeCircle(Point centre, float radius, uint32_t colour, float width);
    void Text(const Rect& r, std::u16string_view text, SceneFont font, uint32_t colour);
    void PushClip(const Rect& r);
    void PopClip();

    [[nodiscard]] const std::vector<Shape>& Shapes() const { return shapes_; }

private:
    std::vector<Shape> shapes_;
};

// A name as it may be painted: without the bidirectional embeddings,
// overrides and isolates (U+202A..U+202E, U+2066..U+2069), which would let
// "x\u202Egpj.exe" show as "xexe.jpg".
[[nodiscard]] std::u16string WithoutBidiControls(std::u16string_view text);

} // namespace postern
