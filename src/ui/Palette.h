// The dark theme's colours, as 0x00BBGGRR (the byte order Win32 colours use),
// and the six colours that tell accounts apart.
#pragma once

#include <cstddef>
#include <cstdint>

namespace postern {

[[nodiscard]] constexpr uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return static_cast<uint32_t>(red) | (static_cast<uint32_t>(green) << 8) | (static_cast<uint32_t>(blue) << 16);
}

namespace palette {
inline constexpr uint32_t background = Rgb(0x14, 0x16, 0x1A); // window, list, reading pane
inline constexpr uint32_t chrome = Rgb(0x1B, 0x1E, 0x24);     // toolbar, rail, status bar
inline constexpr uint32_t border = Rgb(0x2A, 0x2F, 0x38);
inline constexpr uint32_t hover = Rgb(0x23, 0x28, 0x30);
inline constexpr uint32_t selected = Rgb(0x2B, 0x32, 0x40);
inline constexpr uint32_t accent = Rgb(0xD8, 0xA0, 0x3C);
inline constexpr uint32_t strongText = Rgb(0xFF, 0xFF, 0xFF);
inline constexpr uint32_t primaryText = Rgb(0xE8, 0xE6, 0xE3);
inline constexpr uint32_t secondaryText = Rgb(0x9A, 0xA0, 0xA8);
inline constexpr uint32_t chip = Rgb(0x22, 0x26, 0x2E); // chips, count badges, the filter box
inline constexpr uint32_t destructive = Rgb(0xD0, 0x5C, 0x5C);
inline constexpr uint32_t thumb = Rgb(0x4C, 0x54, 0x60);
inline constexpr uint32_t onAccent = Rgb(0x14, 0x16, 0x1A);
} // namespace palette

[[nodiscard]] constexpr uint32_t AccountColour(size_t account)
{
    constexpr uint32_t colours[] = {Rgb(0xD8, 0xA0, 0x3C), Rgb(0x5F, 0xC2, 0xD4), Rgb(0xB8, 0x8D, 0xF0),
                                    Rgb(0x7D, 0xD0, 0x8A), Rgb(0xE8, 0x8A, 0xB0), Rgb(0xE8, 0x9B, 0x5C)};
    return colours[account % 6];
}

} // namespace postern
