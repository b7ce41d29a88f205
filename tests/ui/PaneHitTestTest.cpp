// Where the pointer lands in the painted panes, and what dragging does to
// the panes' widths and scroll offsets; the list's selection rules under
// Ctrl, Shift and the keys.
#include "ui/PaneHitTest.h"
#include "ui/ListModel.h"
#include "ui/ListSelection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace postern {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
const WindowMetrics kWindow{1280, 840, 1}; // list 230..590, rows 48..814

TEST(PaneHitTest, SplittersRowsAndRailLinesOnlyBetweenToolbarAndStatusBar)
{
    struct Splitters {
        WindowMetrics m;
        float x, y;
        Splitter want;
    } const splitters[] = {
        {kWindow, 230, 300, Splitter::rail},         {kWindow, 226, 300, Splitter::rail},
        {kWindow, 225, 300, Splitter::none},         {kWindow, 594, 300, Splitter::list},
        {kWindow, 400, 300, Splitter::none},         {kWindow, 230, 48, Splitter::none},
        {kWindow, 230, 814, Splitter::none},         {{1280, 840, 2}, 464, 300, Splitter::rail},
        {{1280, 840, 2}, 1180, 300, Splitter::list},
    };
    for (const Splitters& c : splitters)
        EXPECT_EQ(SplitterAt(c.m, c.x, c.y), c.want) << c.x << "," << c.y;

    struct Rows {
        float y, scroll;
        size_t count;
        int32_t want;
    } const rows[] = {
        {49, 0, 30, 0},  {104, 0, 30, 1},  {49, 28, 30, 0},  {77, 28, 30, 1},   {49, 0, 0, -1},
        {47, 0, 30, -1}, {813, 0, 30, 13}, {815, 0, 30, -1}, {49, kNaN, 30, 0}, {400, 0, 3, -1},
    };
    for (const Rows& c : rows)
        EXPECT_EQ(RowAt(kWindow, c.y, c.scroll, c.count), c.want) << c.y << " scrolled " << c.scroll;
    EXPECT_TRUE(InListRows(kWindow, 300, 100));
    EXPECT_FALSE(InListRows(kWindow, 230, 100));
    EXPECT_FALSE(InListRows(kWindow, 300, 820));

    // Rail lines: top included, bottom excluded, hidden lines skipped, and a
    // line scrolled under the status bar is not there.
    const std::vector<Rect> lines = {{0, 56, 230, 90}, {}, {0, 90, 230, 118}, {0, 800, 230, 828}};
    EXPECT_EQ(RailItemAt(kWindow, lines, 10, 56), 0);
    EXPECT_EQ(RailItemAt(kWindow, lines, 10, 90), 2);
    EXPECT_EQ(RailItemAt(kWindow, lines, 10, 810), 3);
    EXPECT_EQ(RailItemAt(kWindow, lines, 10, 820), -1);
    EXPECT_EQ(RailItemAt(kWindow, lines, 240, 60), -1);
    EXPECT_EQ(RailItemAt(kWindow, lines, 10, 130), -1);
}

TEST(PaneHitTest, RailClicksOpenFoldOrDoNothingAndOnlyRealFoldersTakeDrops)
{
    RailItem header;
    header.isAccount = true;
    RailItem parent;
    parent.hasChildren = true;
    parent.bright = true;
    RailItem deep = parent;
    deep.depth = 2;
    RailItem dimParent = parent;
    dimParent.bright = false;
    RailItem dimLeaf;
    RailItem leaf;
    leaf.bright = true;
    struct Case {
        const RailItem& item;
        float x, scale;
        RailClick want;
    } const cases[] = {
        {header, 200, 1, RailClick::toggle},    {parent, 31, 1, RailClick::toggle},  {parent, 32, 1, RailClick::open},
        {parent, 63, 2, RailClick::toggle},     {deep, 61, 1, RailClick::toggle},    {deep, 62, 1, RailClick::open},
        {dimParent, 100, 1, RailClick::toggle}, {dimLeaf, 5, 1, RailClick::nothing}, {leaf, 5, 1, RailClick::open},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RailClickAt(c.item, c.x, c.scale), c.want) << c.x;

    RailItem unified = leaf;
    unified.unified = true;
    RailItem locked = leaf;
    locked.lockedView = true;
    EXPECT_TRUE(AcceptsDrop(leaf));
    EXPECT_TRUE(AcceptsDrop(parent));
    for (const RailItem& refused : {header, unified, locked, dimLeaf, dimParent})
        EXPECT_FALSE(AcceptsDrop(refused));

    EXPECT_FALSE(DragStarted({100, 100}, {105, 95}));
    EXPECT_TRUE(DragStarted({100, 100}, {106, 100}));
    EXPECT_TRUE(DragStarted({100, 100}, {100, 94}));
}

TEST(PaneHitTest, ScrollingShowsRowsWholeAndTheThumbNeverLeavesItsRange)
{
    // The list is 766 pixels high: rows 0..12 fit whole, row 13 only partly.
    EXPECT_FLOAT_EQ(ScrollIntoView(kWindow, 0, 3), 0);
    EXPECT_FLOAT_EQ(ScrollIntoView(kWindow, 0, 13), 14 * 56 - 766);
    EXPECT_FLOAT_EQ(ScrollIntoView(kWindow, 1000, 3), 3 * 56);
    EXPECT_FLOAT_EQ(ScrollIntoView(kWindow, 500, 12), 500);
    EXPECT_FLOAT_EQ(ScrollIntoView(kWindow, kNaN, 2), 0);

    const size_t rows = 100; // 5600 pixels of rows
    const float maximum = MaxListScroll(kWindow, rows);
    EXPECT_FALSE(ThumbGrabAt(kWindow, 5, 0, 585, 300)) << "rows that fit have no scrollbar";
    EXPECT_FALSE(ThumbGrabAt(kWindow, rows, 0, 575, 300)) << "left of the scrollbar";
    const ScrollThumb bar = ListScrollThumb(kWindow, rows, 0);
    const std::optional<float> onThumb = ThumbGrabAt(kWindow, rows, 0, 585, bar.thumb.top + 10);
    ASSERT_TRUE(onThumb);
    EXPECT_FLOAT_EQ(*onThumb, 10);
    const std::optional<float> below = ThumbGrabAt(kWindow, rows, 0, 585, 700);
    ASSERT_TRUE(below);
    EXPECT_FLOAT_EQ(*below, bar.thumb.Height() / 2) << "a press off the thumb centres it on the pointer";

    EXPECT_FLOAT_EQ(ThumbDragScroll(kWindow, rows, bar.track.top + 10, 10), 0);
    EXPECT_FLOAT_EQ(ThumbDragScroll(kWindow, rows, 2000, 10), maximum);
    EXPECT_FLOAT_EQ(ThumbDragScroll(kWindow, rows, -2000, 10), 0);
    const float middle = ThumbDragScroll(kWindow, rows, (bar.track.top + bar.track.bottom) / 2, bar.thumb.Height() / 2);
    EXPECT_NEAR(middle, maximum / 2, 1);
    // A list no taller than its thumb: the formula would divide by zero.
    const WindowMetrics squat{1280, 48 + 26 + 30, 1};
    for (const float y : {60.0f, 80.0f, kNaN})
        EXPECT_EQ(ThumbDragScroll(squat, rows, y, 5), 0);
    EXPECT_TRUE(std::isfinite(ThumbDragScroll(kWindow, rows, 400, kNaN)));
}

TEST(PaneHitTest, SplittersKeepThePanesInTheirRangesAndTheRailFitsItsLabels)
{
    EXPECT_EQ(RailWidthAt(100, 1), kMinRailWidth);
    EXPECT_EQ(RailWidthAt(900, 1), kMaxRailWidth);
    EXPECT_EQ(RailWidthAt(600, 2), 300);
    EXPECT_EQ(ListWidthAt(300, 1, 230), kMinListWidth);
    EXPECT_EQ(ListWidthAt(2000, 1, 230), kMaxListWidth);
    EXPECT_EQ(ListWidthAt(1000, 2, 200), 300);
    EXPECT_EQ(RailWidthAt(kNaN, 1), 230) << "the default width, not a NaN";

    RailItem header;
    header.isAccount = true;
    header.label = u"WORK";
    RailItem folder;
    folder.depth = 2;
    folder.label = u"Angebote & Vertr\u00e4ge";
    const MeasureLabel sevenPerCharacter = [](std::u16string_view label, bool) { return 7.0f * label.size(); };
    EXPECT_EQ(RailFitWidth({header}, 1, sevenPerCharacter), kMinRailWidth);
    // 15×2 + 32 indent, 19×7 label, 46 badge room.
    EXPECT_FLOAT_EQ(RailFitWidth({header, folder}, 1, sevenPerCharacter), 62 + 133 + 46);
    EXPECT_FLOAT_EQ(
        RailFitWidth({header, folder}, 2, [](std::u16string_view label, bool) { return 14.0f * label.size(); }),
        62 + 133 + 46);
    folder.label = std::u16string(200, u'x');
    EXPECT_EQ(RailFitWidth({folder}, 1, sevenPerCharacter), kMaxRailWidth);
}

ListState Rows(size_t count)
{
    ListState state;
    state.viewRows.resize(count);
    return state;
}

TEST(ListSelection, CtrlAddsOrRemovesShiftTakesTheRangeAndAPlainPressKeepsASelectionForADrag)
{
    ListState list = Rows(10);
    RowClick click = ClickRow(list, 2, {});
    EXPECT_EQ(click.open, 2);
    EXPECT_FALSE(click.keepSelection);
    SelectOnly(list, 2); // what opening the row does

    click = ClickRow(list, 5, {true, false});
    EXPECT_EQ(click.open, 5);
    EXPECT_TRUE(click.keepSelection);
    EXPECT_EQ(list.anchorRow, 5);
    EXPECT_EQ(list.selectedRows, (std::set<int32_t>{2, 5}));

    click = ClickRow(list, 8, {false, true});
    EXPECT_EQ(click.open, 8);
    EXPECT_EQ(list.selectedRows, (std::set<int32_t>{5, 6, 7, 8}));
    EXPECT_EQ(list.currentRow, 8);
    EXPECT_EQ(list.statusText.substr(0, 10), u"4 selected");

    click = ClickRow(list, 6, {});
    EXPECT_TRUE(click.pressedSelected) << "the selection stays for a drag";
    EXPECT_EQ(click.open, -1);
    EXPECT_TRUE(click.mayDrag);
    EXPECT_EQ(list.selectedRows.size(), 4u);

    // Ctrl on the current row: the next selected row becomes current.
    click = ClickRow(list, 8, {true, false});
    EXPECT_EQ(click.open, -1);
    EXPECT_FALSE(click.mayDrag);
    EXPECT_EQ(list.currentRow, 5);

    // Ctrl on the only selected row leaves nothing selected and no row current.
    ListState single = Rows(3);
    SelectOnly(single, 1);
    (void)ClickRow(single, 1, {true, false});
    EXPECT_TRUE(single.selectedRows.empty());
    EXPECT_EQ(single.currentRow, -1);

    // Shift without a valid anchor (after a folder change) is a plain press.
    ListState fresh = Rows(3);
    click = ClickRow(fresh, 2, {false, true});
    EXPECT_EQ(click.open, 2);
    EXPECT_FALSE(click.keepSelection);
}

TEST(ListSelection, KeysMoveTheCurrentRowWithinTheList)
{
    struct Case {
        ListKey key;
        int32_t current;
        size_t count;
        int32_t want;
    } const cases[] = {
        {ListKey::down, -1, 5, 0},      {ListKey::down, 4, 5, -1},       {ListKey::up, 0, 5, -1},
        {ListKey::up, 3, 5, 2},         {ListKey::home, 3, 5, 0},        {ListKey::end, 0, 5, 4},
        {ListKey::pageDown, 2, 20, 10}, {ListKey::pageDown, 15, 20, 19}, {ListKey::pageUp, 5, 20, 0},
        {ListKey::pageUp, 12, 20, 4},   {ListKey::end, -1, 0, -1},       {ListKey::pageDown, -1, 0, -1},
        {ListKey::up, 9, 5, 3},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RowForKey(c.key, c.current, c.count), c.want)
            << static_cast<int>(c.key) << " from " << c.current << " of " << c.count;
}

} // namespace
} // namespace postern
