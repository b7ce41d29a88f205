#include "app/Placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace postern {
namespace {

TEST(Placement, StoredPaneWidthsAreClampedAndZeroMeansTheDefault)
{
    struct Case {
        int32_t railW, listW;
        float rail, list;
    };
    const Case cases[] = {
        {0, 0, 230.0f, 360.0f},    {100, 900, 150.0f, 720.0f}, {421, 249, 420.0f, 250.0f},
        {300, 500, 300.0f, 500.0f}, {-5, -1, 230.0f, 360.0f},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.railW = c.railW;
        settings.listW = c.listW;
        const PaneWidths panes = InitialPaneWidths(settings);
        EXPECT_EQ(panes.rail, c.rail) << "railW " << c.railW;
        EXPECT_EQ(panes.list, c.list) << "listW " << c.listW;
    }
    EXPECT_EQ(ClampRailWidth(std::numeric_limits<float>::quiet_NaN()), kDefaultRailWidth);
    EXPECT_EQ(ClampListWidth(std::numeric_limits<float>::infinity()), kMaxListWidth);
}

TEST(Placement, OnlyASavedRectangleWithASizeThatFitsIsOffered)
{
    struct Case {
        int32_t x, y, w, h;
        bool offered;
    };
    const Case cases[] = {
        {10, 20, 800, 600, true},     {-1920, 0, 1280, 840, true}, {10, 20, 0, 600, false},
        {10, 20, 800, -1, false},     {INT32_MAX - 10, 0, 800, 600, false},
        {0, INT32_MAX, 800, 600, false},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.windowX = c.x;
        settings.windowY = c.y;
        settings.windowW = c.w;
        settings.windowH = c.h;
        ScreenRect rect;
        ASSERT_EQ(SavedWindowRect(settings, rect), c.offered) << c.x << "," << c.y << " " << c.w << "x" << c.h;
        if (c.offered) {
            EXPECT_EQ(rect.left, c.x);
            EXPECT_EQ(rect.top, c.y);
            EXPECT_EQ(rect.right - rect.left, c.w);
            EXPECT_EQ(rect.bottom - rect.top, c.h);
        }
    }
}

TEST(Placement, StoringTakesTheRightRectangleForEachShowState)
{
    WindowPlacementState state;
    state.normalRect = {100, 50, 1380, 890};
    state.windowRect = {120, 70, 1020, 770};
    const PaneWidths panes{230.5f, 360.4f};

    AppSettings normal;
    ASSERT_TRUE(StoreWindowPlacement(state, panes, normal));
    EXPECT_FALSE(normal.maximized);
    EXPECT_EQ(normal.windowX, 120);
    EXPECT_EQ(normal.windowY, 70);
    EXPECT_EQ(normal.windowW, 900);
    EXPECT_EQ(normal.windowH, 700);
    EXPECT_EQ(normal.railW, 231);
    EXPECT_EQ(normal.listW, 360);

    // Maximized: the rectangle to come back to, not the maximized one.
    state.maximized = true;
    state.windowRect = {-8, -8, 1608, 1008};
    AppSettings maximized;
    ASSERT_TRUE(StoreWindowPlacement(state, panes, maximized));
    EXPECT_TRUE(maximized.maximized);
    EXPECT_EQ(maximized.windowX, 100);
    EXPECT_EQ(maximized.windowY, 50);
    EXPECT_EQ(maximized.windowW, 1280);
    EXPECT_EQ(maximized.windowH, 840);

    // Minimized: nothing at all changes.
    state.minimized = true;
    AppSettings kept = normal;
    EXPECT_FALSE(StoreWindowPlacement(state, PaneWidths{400.0f, 700.0f}, kept));
    EXPECT_EQ(kept.windowX, 120);
    EXPECT_EQ(kept.windowW, 900);
    EXPECT_FALSE(kept.maximized);
    EXPECT_EQ(kept.railW, 231);

    // A collapsed rectangle is not a placement worth keeping.
    WindowPlacementState empty;
    empty.windowRect = {5, 5, 5, 400};
    AppSettings untouched = normal;
    EXPECT_FALSE(StoreWindowPlacement(empty, panes, untouched));
    EXPECT_EQ(untouched.windowW, 900);
}

} // namespace
} // namespace postern
