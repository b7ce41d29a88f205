// The notification-area icon's image: a rounded square with an envelope,
// grey without unread mail and amber with. Portable, so the pixels can be
// checked without a window; the shell turns them into an icon.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace postern {

struct TrayIconImage {
    int size = 0;
    // size × size pixels, rows top-down, each 0xAARRGGBB (as a 32-bit
    // top-down DIB holds them); 0 is transparent.
    std::vector<uint32_t> pixels;

    [[nodiscard]] uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y * size + x)]; }
};

// Sizes below 1 (or absurdly large) give an empty image.
[[nodiscard]] TrayIconImage MakeTrayIconImage(int size, bool hasUnread);

} // namespace postern
