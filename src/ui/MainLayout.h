// The main window's geometry as pure functions of the client size, the scale
// and the panes' widths: the painter draws these rectangles and the pointer
// handlers hit-test the same ones, so the two can never disagree.
//
// Lengths are given in units (device-independent) and come out in client
// pixels (units × scale). Every rectangle is clipped to the client area: a
// window of size 0 × 0 or one narrower than the rail plus the list yields
// empty rectangles, never negative ones.
#pragma once

#include "ui/Geometry.h"
#include "ui/RailItem.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace postern {

inline constexpr float kToolbarHeight = 48.0f;
inline constexpr float kStatusBarHeight = 26.0f;
inline constexpr float kRowHeight = 56.0f;
inline constexpr float kAccountLineHeight = 34.0f;
inline constexpr float kFolderLineHeight = 28.0f;
inline constexpr float kRailTopPadding = 8.0f;
// Painting and dragging the list's thumb use the same minimum, so that a
// click always lands where the thumb is drawn.
inline constexpr float kListThumbMinimum = 36.0f;
inline constexpr float kRailThumbMinimum = 30.0f;
// The panes' widths in units: the default, and the range a splitter or a
// settings file may set.
inline constexpr float kDefaultRailWidth = 230.0f;
inline constexpr float kMinRailWidth = 150.0f;
inline constexpr float kMaxRailWidth = 420.0f;
inline constexpr float kDefaultListWidth = 360.0f;
inline constexpr float kMinListWidth = 250.0f;
inline constexpr float kMaxListWidth = 720.0f;
// Below this the panes cannot show a row or a folder name.
inline constexpr float kMinimumWindowWidth = 640.0f;
inline constexpr float kMinimumWindowHeight = 400.0f;

struct WindowMetrics {
    float width = 0;       // client area, pixels
    float height = 0;      // client area, pixels
    float scale = 1;       // window DPI / 96
    float railWidth = 230; // units
    float listWidth = 360; // units

    [[nodiscard]] float Px(float units) const { return units * scale; }
};

[[nodiscard]] float ClampRailWidth(float units);
[[nodiscard]] float ClampListWidth(float units);

[[nodiscard]] Rect ToolbarRect(const WindowMetrics& m);
[[nodiscard]] Rect RailPaneRect(const WindowMetrics& m);
[[nodiscard]] Rect ListRect(const WindowMetrics& m);
[[nodiscard]] Rect ReadingRect(const WindowMetrics& m);
[[nodiscard]] Rect StatusBarRect(const WindowMetrics& m);

// The reading header's height in pixels: 0 with no message open.
[[nodiscard]] float ReadingHeaderHeight(const WindowMetrics& m, bool messageOpen, bool hasCc, bool hasParts);
// Where the embedded browser goes, below the reading header.
[[nodiscard]] Rect BodyRect(const WindowMetrics& m, float headerHeight);

// The filter box as painted, and the edit control inside it (whole pixels).
struct FilterBoxPlace {
    Rect box;
    int editX = 0, editY = 0, editWidth = 0, editHeight = 0;
};
[[nodiscard]] FilterBoxPlace PlaceFilterBox(const WindowMetrics& m);

// The toolbar's buttons, left to right.
struct ToolbarCommand {
    int32_t id;
    std::u16string_view label;
    bool needsMessage;
};
inline constexpr ToolbarCommand kToolbarButtons[] = {
    {1, u"Compose", false}, {2, u"Reply", true},  {3, u"Reply all", true},
    {4, u"Forward", true},  {5, u"Delete", true}, {6, u"Refresh", false},
};
inline constexpr int32_t kDeleteButton = 5;

struct ToolbarButton {
    int32_t id = 0;
    std::u16string_view label;
    bool needsMessage = false;
    Rect rect;
};

struct ToolbarLayout {
    bool compact = false; // icons only, every button 40 wide
    Rect clip;            // buttons never draw over the filter box
    // Only the buttons wholly inside the clip: one the filter box covers can
    // be neither seen nor clicked.
    std::vector<ToolbarButton> buttons;
};
[[nodiscard]] ToolbarLayout LayoutToolbar(const WindowMetrics& m, const Rect& filterBox);

// Rail lines: an account header, or a folder; hidden lines take no room.
[[nodiscard]] float RailLineHeight(const RailItem& item, float scale);
// Which items are shown: a collapsed header hides its account's lines, a
// collapsed folder its deeper descendants.
[[nodiscard]] std::vector<bool> ShownRailItems(const std::vector<RailItem>& items);
// Each item's line at this scroll offset; an empty rectangle for a hidden one.
[[nodiscard]] std::vector<Rect> RailItemRects(const std::vector<RailItem>& items, const WindowMetrics& m,
                                              float railScroll);
// Height of the shown lines plus the padding, pixels.
[[nodiscard]] float RailContentHeight(const std::vector<RailItem>& items, float scale);

struct ScrollThumb {
    bool shown = false; // the content is taller than the pane
    Rect track;
    Rect thumb;
};
[[nodiscard]] ScrollThumb RailScrollThumb(const WindowMetrics& m, float contentHeight, float railScroll);
[[nodiscard]] ScrollThumb ListScrollThumb(const WindowMetrics& m, size_t rowCount, float listScroll);

// The furthest the panes can scroll.
[[nodiscard]] float MaxListScroll(const WindowMetrics& m, size_t rowCount);
[[nodiscard]] float MaxRailScroll(const WindowMetrics& m, float contentHeight);

// Rows from `firstIndex` on drawn `offset` units lower while removed rows
// close their gap.
struct RowShift {
    int32_t firstIndex = 0;
    float offset = 0; // units; 0 when no removal runs
};

// Row `index`'s top edge in pixels.
[[nodiscard]] float RowTop(const WindowMetrics& m, int32_t index, float listScroll, const RowShift& shift);

// The rows that can touch the list pane, [first, last): painting walks only
// these, so a frame costs the same for ten rows or a hundred thousand.
struct RowRange {
    int32_t first = 0;
    int32_t last = 0;
};
[[nodiscard]] RowRange VisibleRows(const WindowMetrics& m, size_t rowCount, float listScroll, const RowShift& shift);

// Widths estimated from character counts (painting never measures text).
[[nodiscard]] float UnreadBadgeWidth(uint32_t count, float scale);
[[nodiscard]] float ConversationBadgeWidth(size_t members, float scale);
[[nodiscard]] float FolderChipWidth(size_t characters, float scale);
[[nodiscard]] float AttachmentChipWidth(size_t characters, float scale);
[[nodiscard]] float DragBadgeWidth(size_t characters, float scale);

// Characters as the width estimates count them: code points.
[[nodiscard]] size_t CharacterCount(std::u16string_view text);
[[nodiscard]] size_t DigitCount(uint64_t number);

} // namespace postern
