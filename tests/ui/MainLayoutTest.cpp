// The main window's geometry: panes at common DPIs, windows too small for
// the panes, the toolbar against the filter box, rail lines, scroll thumbs
// and the rows painting walks.
#include "ui/MainLayout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <vector>

namespace postern {

static void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

namespace {

TEST(MainLayout, PanesAndToolbarAt96And144Dpi)
{
    struct Case {
        float scale;
        Rect toolbar, rail, list, reading, status;
    } const cases[] = {
        {1.0f, {0, 0, 1280, 48}, {0, 48, 230, 814}, {230, 48, 590, 814}, {590, 48, 1280, 814}, {0, 814, 1280, 840}},
        {1.5f, {0, 0, 1280, 72}, {0, 72, 345, 801}, {345, 72, 885, 801}, {885, 72, 1280, 801}, {0, 801, 1280, 840}},
    };
    for (const Case& c : cases) {
        const WindowMetrics m{1280, 840, c.scale};
        EXPECT_EQ(ToolbarRect(m), c.toolbar);
        EXPECT_EQ(RailPaneRect(m), c.rail);
        EXPECT_EQ(ListRect(m), c.list);
        EXPECT_EQ(ReadingRect(m), c.reading);
        EXPECT_EQ(StatusBarRect(m), c.status);
        EXPECT_FLOAT_EQ(RowTop(m, 1, 0, {}) - RowTop(m, 0, 0, {}), 56 * c.scale);
        EXPECT_EQ(ReadingHeaderHeight(m, false, true, true), 0);
        const float header = ReadingHeaderHeight(m, true, true, true);
        EXPECT_FLOAT_EQ(header, (96 + 18 + 34) * c.scale);
        EXPECT_EQ(BodyRect(m, header), (Rect{c.reading.left + 1, c.reading.top + header, 1280, c.reading.bottom}));
    }
    // Labels while they fit, icons when not; in a narrow window the filter
    // box covers the last buttons, which are then left out.
    struct Toolbar {
        WindowMetrics m;
        bool compact;
        size_t buttons;
        float firstWidth;
    } const toolbars[] = {{{1280, 840, 1}, false, 6, 8.8f * 7 + 40}, {{1280, 840, 1.5f}, true, 6, 60},
                          {{500, 300, 1}, true, 3, 40}};
    for (const Toolbar& t : toolbars) {
        const ToolbarLayout layout = LayoutToolbar(t.m, PlaceFilterBox(t.m).box);
        EXPECT_EQ(layout.compact, t.compact);
        ASSERT_EQ(layout.buttons.size(), t.buttons);
        EXPECT_FLOAT_EQ(layout.buttons[0].rect.Width(), t.firstWidth);
    }
}

// Sizes the panes were not made for: every rectangle stays finite and inside
// the client area, and a button never lies under the filter box.
TEST(MainLayout, SmallOrOddWindowsKeepEveryRectangleInside)
{
    const WindowMetrics cases[] = {
        {0, 0, 1},      {0, 0, 1.5f},   {500, 300, 1},           {500, 300, 1.5f},           {1280, 840, 8},
        {900, 60, 1},   {300, 840, 1, 100}, {1280, 840, 1, 2000}, {1280, 840, 1, 230, 5000},
    };
    for (const WindowMetrics& m : cases) {
        SCOPED_TRACE(testing::Message() << m.width << "x" << m.height << " @" << m.scale << " rail " << m.railWidth
                                        << " list " << m.listWidth);
        const FilterBoxPlace filter = PlaceFilterBox(m);
        const ToolbarLayout toolbar = LayoutToolbar(m, filter.box);
        const ScrollThumb listThumb = ListScrollThumb(m, 1000, 500);
        const ScrollThumb railThumb = RailScrollThumb(m, 10000, 500);
        std::vector<Rect> all = {ToolbarRect(m),   RailPaneRect(m),  ListRect(m),     ReadingRect(m),
                                 StatusBarRect(m), BodyRect(m, 200), filter.box,      toolbar.clip,
                                 listThumb.thumb,  listThumb.track,  railThumb.thumb};
        for (const ToolbarButton& b : toolbar.buttons) {
            all.push_back(b.rect);
            EXPECT_TRUE(filter.box.IsEmpty() || b.rect.right <= filter.box.left) << testing::PrintToString(b.rect);
        }
        for (const Rect& r : all) {
            const bool finite =
                std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom);
            EXPECT_TRUE(finite && r.Width() >= 0 && r.Height() >= 0) << testing::PrintToString(r);
            EXPECT_TRUE(r.IsEmpty() || (r.left >= 0 && r.top >= 0 && r.right <= m.width && r.bottom <= m.height))
                << testing::PrintToString(r);
        }
        // The thumb is hit-tested as well as drawn: outside its pane it
        // would take the rail's clicks.
        const Rect list = ListRect(m);
        EXPECT_TRUE(!listThumb.shown
                    || (list.Contains(listThumb.thumb.left, listThumb.thumb.top)
                        && list.Contains(listThumb.thumb.right, listThumb.thumb.bottom)))
            << testing::PrintToString(listThumb.thumb) << " outside the list " << testing::PrintToString(list);
        const RowRange rows = VisibleRows(m, 1000, 500, {});
        EXPECT_TRUE(rows.first >= 0 && rows.first <= rows.last && rows.last <= 1000);
        EXPECT_GE(MaxListScroll(m, 1000), 0);
        EXPECT_TRUE(filter.box.IsEmpty() ? filter.editWidth == 0 : filter.editX + filter.editWidth <= filter.box.right);
    }
}

RailItem Line(bool account, int32_t depth = 0, bool hasChildren = false, bool expanded = true)
{
    RailItem item;
    item.isAccount = account;
    item.depth = depth;
    item.hasChildren = hasChildren;
    item.expanded = expanded;
    return item;
}

TEST(MainLayout, RailLinesHideUnderCollapsedHeadersAndFolders)
{
    const std::vector<RailItem> items = {
        Line(true),  Line(false), Line(false, 0, true, false), Line(false, 1, true), Line(false, 2),
        Line(false), Line(true, 0, false, false),               Line(false),          Line(false, 1),
        Line(true),  Line(false),
    };
    const std::vector<bool> shown = {true, true, true, false, false, true, true, false, false, true, true};
    EXPECT_EQ(ShownRailItems(items), shown);

    const std::vector<Rect> rects = RailItemRects(items, {1280, 840, 1.5f}, 10);
    ASSERT_EQ(rects.size(), items.size());
    float y = (48 + 8) * 1.5f - 10;
    float content = 2 * 8 * 1.5f;
    for (size_t i = 0; i < items.size(); ++i) {
        const float height = shown[i] ? (items[i].isAccount ? 34 : 28) * 1.5f : 0;
        EXPECT_EQ(rects[i], shown[i] ? (Rect{0, y, 345, y + height}) : Rect{}) << i;
        y += height;
        content += height;
    }
    EXPECT_FLOAT_EQ(RailContentHeight(items, 1.5f), content);
}

TEST(MainLayout, ScrollThumbsFitTheirPanes)
{
    struct Case {
        float scale;
        size_t rows;
        float scroll;
    } const cases[] = {{1, 13, 0}, {1, 14, 0}, {1, 1000, 0}, {1.5f, 1000, 1e9f}, {1.5f, 100000, 4000}, {1, 1000, -50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scale << " " << c.rows << " " << c.scroll);
        const WindowMetrics m{1280, 840, c.scale};
        const Rect list = ListRect(m);
        const float content = 56 * c.scale * static_cast<float>(c.rows);
        EXPECT_FLOAT_EQ(MaxListScroll(m, c.rows), std::max(0.0f, content - list.Height()));
        const ScrollThumb thumb = ListScrollThumb(m, c.rows, c.scroll);
        ASSERT_EQ(thumb.shown, content > list.Height());
        if (!thumb.shown)
            continue;
        EXPECT_GE(thumb.thumb.Height(), 36 * c.scale - 0.01f);
        EXPECT_TRUE(thumb.thumb.top >= list.top && thumb.thumb.bottom <= list.bottom + 0.01f);
        EXPECT_TRUE(thumb.thumb.left >= list.left && thumb.thumb.right <= list.right);
        EXPECT_TRUE(c.scroll < MaxListScroll(m, c.rows) || std::abs(thumb.thumb.bottom - list.bottom) < 0.5f);
    }
    const WindowMetrics m{1280, 840, 1};
    EXPECT_FALSE(RailScrollThumb(m, 700, 0).shown);
    const ScrollThumb rail = RailScrollThumb(m, 100000, 0);
    ASSERT_TRUE(rail.shown);
    EXPECT_GE(rail.thumb.Height(), 30);
    EXPECT_EQ(rail.thumb.top, RailPaneRect(m).top);
}

// Every row that reaches into the list pane, shifted or not, is in the range
// painting walks, and that range does not grow with the folder.
TEST(MainLayout, VisibleRowsHoldEveryRowInThePane)
{
    struct Case {
        float scale;
        float scroll;
        RowShift shift;
    } const cases[] = {{1, 0, {}},           {1.5f, 0, {}},        {1, 1000, {}},         {1.5f, 1234.5f, {}},
                       {1, 1000, {10, 300}}, {1, 1000, {25, 56}}, {1.5f, 5000, {0, 120}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.scale << " " << c.scroll << " shift " << c.shift.offset);
        const WindowMetrics m{1280, 840, c.scale};
        const Rect list = ListRect(m);
        const RowRange range = VisibleRows(m, 10000, c.scroll, c.shift);
        for (int32_t i = 0; i < 10000; ++i) {
            const float top = RowTop(m, i, c.scroll, c.shift);
            const bool inPane = top < list.bottom && top + 56 * c.scale > list.top;
            EXPECT_TRUE(!inPane || (i >= range.first && i < range.last)) << "row " << i << " at " << top;
        }
        const RowRange bigger = VisibleRows(m, 20000, c.scroll, c.shift);
        EXPECT_EQ(bigger.last - bigger.first, range.last - range.first);
    }
    const WindowMetrics m{1280, 840, 1.5f};
    EXPECT_FLOAT_EQ(RowTop(m, 3, 100, {3, 20}), 72 - 100 + 3 * 84 + 30);
    EXPECT_FLOAT_EQ(RowTop(m, 2, 100, {3, 20}), 72 - 100 + 2 * 84);
}

TEST(MainLayout, WidthEstimatesCountCodePoints)
{
    EXPECT_EQ(CharacterCount(u"a\U0001F600b\U00010348"), 4u);
    EXPECT_EQ(DigitCount(0), 1u);
    EXPECT_EQ(DigitCount(UINT64_MAX), 20u);
    EXPECT_FLOAT_EQ(UnreadBadgeWidth(120, 1.5f), (7 * 3 + 12) * 1.5f);
    EXPECT_GT(ConversationBadgeWidth(10, 1), ConversationBadgeWidth(9, 1));
    EXPECT_FLOAT_EQ(FolderChipWidth(1000, 2), 300);
    EXPECT_FLOAT_EQ(AttachmentChipWidth(CharacterCount(u"\U0001F600.pdf"), 1), 6.6f * 5 + 28);
}

} // namespace
} // namespace postern
