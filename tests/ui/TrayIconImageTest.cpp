// The tray icon's pixels against a plain restatement of the drawing: a
// rounded square, an envelope on it and the envelope's flap.
#include "ui/TrayIconImage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

namespace postern {
namespace {

std::vector<uint32_t> Expected(int size, bool unread)
{
    std::vector<uint32_t> px(static_cast<size_t>(size * size), 0);
    auto at = [&](int x, int y) -> uint32_t& { return px[static_cast<size_t>(y * size + x)]; };
    const uint32_t fill = unread ? 0xFFD8A03C : 0xFF3A4048;
    const int r = size / 5;
    auto offset = [&](int v) { return v < r ? r - v : v >= size - r ? v - (size - r - 1) : 0; };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            if (offset(x) * offset(x) + offset(y) * offset(y) <= r * r)
                at(x, y) = fill;
    const int a = static_cast<int>(size * 0.22);
    const int right = size - a - 1;
    const int top = static_cast<int>(size * 0.34);
    const int bottom = static_cast<int>(size * 0.7);
    for (int y = top; y <= bottom; ++y)
        for (int x = a; x <= right; ++x)
            at(x, y) = unread ? 0xFF14161A : 0xFF9AA0A8;
    const int mid = (a + right) / 2;
    for (int x = a; x <= right; ++x) {
        const double along = 1 - std::abs(x - mid) / static_cast<double>(mid - a);
        const int y = static_cast<int>(along * (size * 0.53 - top) + top);
        if (y <= bottom)
            at(x, y) = fill;
        if (size > 23 && y + 1 <= bottom)
            at(x, y + 1) = fill;
    }
    return px;
}

TEST(TrayIconImage, MatchesTheDrawingAtEverySizeAndState)
{
    for (const int size : {16, 20, 24, 32}) {
        for (const bool unread : {false, true}) {
            SCOPED_TRACE(testing::Message() << size << (unread ? " unread" : " read"));
            const TrayIconImage image = MakeTrayIconImage(size, unread);
            ASSERT_EQ(image.size, size);
            ASSERT_EQ(image.pixels, Expected(size, unread));
            // What a person notices: round corners, a filled square and the
            // envelope's colour below the flap.
            EXPECT_EQ(image.At(0, 0), 0u);
            EXPECT_EQ(image.At(size / 2, 0), unread ? 0xFFD8A03Cu : 0xFF3A4048u);
            EXPECT_EQ(image.At(size / 2, static_cast<int>(size * 0.66)), unread ? 0xFF14161Au : 0xFF9AA0A8u);
        }
    }
    for (const int size : {0, -1}) {
        const TrayIconImage image = MakeTrayIconImage(size, true);
        EXPECT_EQ(image.size, 0);
        EXPECT_TRUE(image.pixels.empty());
    }
}

} // namespace
} // namespace postern
