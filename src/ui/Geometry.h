// Rectangles of the main window, in client pixels: what the portable layout
// computes, the painter draws and the pointer handlers hit-test.
#pragma once

namespace postern {

struct Rect {
    float left = 0, top = 0, right = 0, bottom = 0;

    [[nodiscard]] float Width() const { return right - left; }
    [[nodiscard]] float Height() const { return bottom - top; }
    // Nothing to draw or hit: zero or negative width or height.
    [[nodiscard]] bool IsEmpty() const { return !(right > left && bottom > top); }
    // Edges included.
    [[nodiscard]] bool Contains(float x, float y) const
    {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct Point {
    float x = 0, y = 0;
};

} // namespace postern
