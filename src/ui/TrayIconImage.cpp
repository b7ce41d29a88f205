#include "ui/TrayIconImage.h"

#include <cstdlib>

namespace postern {

namespace {

constexpr uint32_t Opaque(uint32_t rgb)
{
    return 0xFF000000u | rgb;
}

// Distance outside the straight part of the square along one axis.
int CornerOffset(int v, int size, int r)
{
    if (v < r)
        return r - v;
    if (v >= size - r)
        return v - (size - r - 1);
    return 0;
}

} // namespace

TrayIconImage MakeTrayIconImage(int size, bool hasUnread)
{
    TrayIconImage image;
    if (size < 1 || size > 1024)
        return image;
    image.size = size;
    image.pixels.assign(static_cast<size_t>(size) * static_cast<size_t>(size), 0);
    const uint32_t fill = hasUnread ? Opaque(0xD8A03C) : Opaque(0x3A4048);
    const uint32_t envelope = hasUnread ? Opaque(0x14161A) : Opaque(0x9AA0A8);
    auto set = [&](int x, int y, uint32_t colour) { image.pixels[static_cast<size_t>(y * size + x)] = colour; };

    const int r = size / 5;
    for (int y = 0; y < size; ++y) {
        const int dy = CornerOffset(y, size, r);
        for (int x = 0; x < size; ++x) {
            const int dx = CornerOffset(x, size, r);
            if (dx * dx + dy * dy <= r * r)
                set(x, y, fill);
        }
    }

    const int a = static_cast<int>(size * 0.22);
    const int right = size - a - 1;
    const int top = static_cast<int>(size * 0.34);
    const int bottom = static_cast<int>(size * 0.7);
    for (int y = top; y <= bottom; ++y) {
        for (int x = a; x <= right; ++x)
            set(x, y, envelope);
    }

    // The flap: a V from the envelope's top corners down to its middle, in
    // the square's colour.
    const int mid = (a + right) / 2;
    if (mid > a) {
        for (int x = a; x <= right; ++x) {
            const double along = 1.0 - std::abs(x - mid) / static_cast<double>(mid - a);
            const int y = static_cast<int>(along * (size * 0.53 - top) + top);
            if (y >= 0 && y <= bottom)
                set(x, y, fill);
            if (size > 23 && y + 1 >= 0 && y + 1 <= bottom)
                set(x, y + 1, fill);
        }
    }
    return image;
}

} // namespace postern
