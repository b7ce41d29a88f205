#include "ui/MainLayout.h"

#include <algorithm>
#include <cmath>

namespace postern {

namespace {

// A rectangle cut to the client area; what lies wholly outside becomes empty
// rather than inside out.
Rect ClipToClient(const WindowMetrics& m, Rect r)
{
    const float width = std::max(0.0f, m.width);
    const float height = std::max(0.0f, m.height);
    r.left = std::clamp(r.left, 0.0f, width);
    r.right = std::clamp(r.right, r.left, width);
    r.top = std::clamp(r.top, 0.0f, height);
    r.bottom = std::clamp(r.bottom, r.top, height);
    return r;
}

// The band between the toolbar and the status bar.
Rect PaneBand(const WindowMetrics& m, float left, float right)
{
    return ClipToClient(m, {left, m.Px(kToolbarHeight), right, m.height - m.Px(kStatusBarHeight)});
}

float RailRight(const WindowMetrics& m)
{
    return m.Px(m.railWidth);
}
float ListRight(const WindowMetrics& m)
{
    return m.Px(m.railWidth + m.listWidth);
}

ScrollThumb Thumb(const Rect& pane, float content, float scroll, float minimum)
{
    ScrollThumb result;
    const float h = pane.Height();
    if (h <= 0 || pane.Width() <= 0 || content <= h)
        return result; // nothing to scroll, or no room for a thumb
    result.shown = true;
    const float length = std::min(h, std::max(minimum, h * h / content));
    const float top = pane.top + std::clamp(scroll, 0.0f, content - h) / (content - h) * (h - length);
    result.thumb = {pane.left, top, pane.right, top + length};
    result.track = pane;
    return result;
}

} // namespace

float ClampRailWidth(float width)
{
    // NaN fails every comparison and would pass std::clamp unchanged.
    if (std::isnan(width))
        return kDefaultRailWidth;
    return std::clamp(width, kMinRailWidth, kMaxRailWidth);
}

float ClampListWidth(float width)
{
    if (std::isnan(width))
        return kDefaultListWidth;
    return std::clamp(width, kMinListWidth, kMaxListWidth);
}

Rect ToolbarRect(const WindowMetrics& m)
{
    return ClipToClient(m, {0, 0, m.width, m.Px(kToolbarHeight)});
}

Rect RailPaneRect(const WindowMetrics& m)
{
    return PaneBand(m, 0, RailRight(m));
}

Rect ListRect(const WindowMetrics& m)
{
    return PaneBand(m, RailRight(m), ListRight(m));
}

Rect ReadingRect(const WindowMetrics& m)
{
    return PaneBand(m, ListRight(m), m.width);
}

Rect StatusBarRect(const WindowMetrics& m)
{
    return ClipToClient(m, {0, m.height - m.Px(kStatusBarHeight), m.width, m.height});
}

float ReadingHeaderHeight(const WindowMetrics& m, bool messageOpen, bool hasCc, bool hasParts)
{
    if (!messageOpen)
        return 0;
    return m.Px(96.0f + (hasCc ? 18.0f : 0.0f) + (hasParts ? 34.0f : 0.0f));
}

Rect BodyRect(const WindowMetrics& m, float headerHeight)
{
    const Rect reading = ReadingRect(m);
    Rect body{std::floor(reading.left) + 1, reading.top + headerHeight, reading.right, reading.bottom};
    return ClipToClient(m, body);
}

FilterBoxPlace PlaceFilterBox(const WindowMetrics& m)
{
    const float margin = m.Px(14);
    float w = m.Px(std::clamp(m.width / m.scale - 680.0f, 180.0f, 360.0f));
    // A window narrower than the box keeps it inside the client area.
    w = std::min(w, std::max(0.0f, m.width - 2 * margin));
    FilterBoxPlace place;
    place.box = ClipToClient(m, {m.width - margin - w, m.Px(9), m.width - margin, m.Px(39)});
    if (place.box.IsEmpty())
        return place;
    place.editX = static_cast<int>(place.box.left + m.Px(30));
    place.editY = static_cast<int>(m.Px(14));
    place.editWidth = std::max(0, static_cast<int>(w - m.Px(42)));
    place.editHeight = static_cast<int>(m.Px(20));
    return place;
}

ToolbarLayout LayoutToolbar(const WindowMetrics& m, const Rect& filterBox)
{
    ToolbarLayout layout;
    const float start = m.Px(150);
    const float limit = (filterBox.IsEmpty() ? m.width : filterBox.left) - m.Px(12);
    float full = 0;
    // A labelled button is as wide as its label's estimate plus room for the icon.
    auto labelledWidth = [&m](const ToolbarCommand& command) {
        return m.Px(8.8f * static_cast<float>(command.label.size()) + 40);
    };
    for (const ToolbarCommand& command : kToolbarButtons)
        full += labelledWidth(command) + m.Px(4);
    layout.compact = start + full > limit;
    layout.clip = ClipToClient(m, {start - m.Px(4), 0, limit + m.Px(2), m.Px(kToolbarHeight)});

    float x = start;
    for (const ToolbarCommand& command : kToolbarButtons) {
        const float width = layout.compact ? m.Px(40) : labelledWidth(command);
        const Rect rect{x, m.Px(8), x + width, m.Px(40)};
        x += width + m.Px(4);
        if (rect.right > layout.clip.right || rect.bottom > layout.clip.bottom)
            break; // this one and the rest are under the filter box or off the window
        layout.buttons.push_back({command.id, command.label, command.needsMessage, rect});
    }
    return layout;
}

float RailLineHeight(const RailItem& item, float scale)
{
    return (item.isAccount ? kAccountLineHeight : kFolderLineHeight) * scale;
}

std::vector<bool> ShownRailItems(const std::vector<RailItem>& items)
{
    std::vector<bool> shown(items.size(), false);
    bool accountCollapsed = false;
    int32_t hideDeeperThan = -1; // depth of a collapsed folder whose descendants hide
    for (size_t i = 0; i < items.size(); ++i) {
        const RailItem& item = items[i];
        if (item.isAccount) {
            shown[i] = true;
            accountCollapsed = !item.expanded;
            hideDeeperThan = -1;
            continue;
        }
        if (accountCollapsed)
            continue;
        if (hideDeeperThan >= 0) {
            if (item.depth > hideDeeperThan)
                continue;
            hideDeeperThan = -1;
        }
        shown[i] = true;
        if (item.hasChildren && !item.expanded)
            hideDeeperThan = item.depth;
    }
    return shown;
}

std::vector<Rect> RailItemRects(const std::vector<RailItem>& items, const WindowMetrics& m, float railScroll)
{
    const std::vector<bool> shown = ShownRailItems(items);
    std::vector<Rect> rects(items.size());
    float y = m.Px(kToolbarHeight + kRailTopPadding) - railScroll;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!shown[i])
            continue;
        const float height = RailLineHeight(items[i], m.scale);
        rects[i] = {0, y, RailRight(m), y + height};
        y += height;
    }
    return rects;
}

float RailContentHeight(const std::vector<RailItem>& items, float scale)
{
    const std::vector<bool> shown = ShownRailItems(items);
    float height = 2 * kRailTopPadding * scale;
    for (size_t i = 0; i < items.size(); ++i) {
        if (shown[i])
            height += RailLineHeight(items[i], scale);
    }
    return height;
}

ScrollThumb RailScrollThumb(const WindowMetrics& m, float contentHeight, float railScroll)
{
    const Rect rail = RailPaneRect(m);
    ScrollThumb result = Thumb({std::max(rail.left, rail.right - m.Px(8)), rail.top, rail.right - m.Px(3), rail.bottom},
                               contentHeight, railScroll, m.Px(kRailThumbMinimum));
    result.track = {}; // the rail draws no track
    return result;
}

ScrollThumb ListScrollThumb(const WindowMetrics& m, size_t rowCount, float listScroll)
{
    const Rect list = ListRect(m);
    const float content = m.Px(kRowHeight) * static_cast<float>(rowCount);
    ScrollThumb result = Thumb({std::max(list.left, list.right - m.Px(9)), list.top, list.right - m.Px(3), list.bottom},
                               content, listScroll, m.Px(kListThumbMinimum));
    if (!result.shown)
        return result;
    result.track = {std::max(list.left, list.right - m.Px(10)), list.top, list.right - m.Px(2), list.bottom};
    return result;
}

float MaxListScroll(const WindowMetrics& m, size_t rowCount)
{
    return std::max(0.0f, m.Px(kRowHeight) * static_cast<float>(rowCount) - ListRect(m).Height());
}

float MaxRailScroll(const WindowMetrics& m, float contentHeight)
{
    return std::max(0.0f, contentHeight - RailPaneRect(m).Height());
}

float RowTop(const WindowMetrics& m, int32_t index, float listScroll, const RowShift& shift)
{
    float top = m.Px(kToolbarHeight) - listScroll + m.Px(kRowHeight) * static_cast<float>(index);
    if (index >= shift.firstIndex)
        top += m.Px(shift.offset);
    return top;
}

RowRange VisibleRows(const WindowMetrics& m, size_t rowCount, float listScroll, const RowShift& shift)
{
    const Rect list = ListRect(m);
    const float rowHeight = m.Px(kRowHeight);
    if (list.IsEmpty() || rowCount == 0 || rowHeight <= 0)
        return {};
    // A shift only moves rows down, so it can bring earlier rows into view.
    const float shiftPx = std::max(0.0f, m.Px(shift.offset));
    const double first = std::floor((listScroll - shiftPx) / rowHeight);
    const double last = std::ceil((listScroll + list.Height()) / rowHeight) + 1;
    const double count = static_cast<double>(rowCount);
    RowRange range;
    range.first = static_cast<int32_t>(std::clamp(first, 0.0, count));
    range.last = static_cast<int32_t>(std::clamp(last, 0.0, count));
    return range;
}

size_t CharacterCount(std::u16string_view text)
{
    size_t count = 0;
    for (const char16_t c : text) {
        if (c < 0xDC00 || c > 0xDFFF) // a low surrogate ends a pair already counted
            ++count;
    }
    return count;
}

size_t DigitCount(uint64_t number)
{
    size_t digits = 1;
    while (number >= 10) {
        number /= 10;
        ++digits;
    }
    return digits;
}

float UnreadBadgeWidth(uint32_t count, float scale)
{
    return (7.0f * static_cast<float>(DigitCount(count)) + 12.0f) * scale;
}

float ConversationBadgeWidth(size_t members, float scale)
{
    return (6.5f * static_cast<float>(DigitCount(members)) + 14.0f) * scale;
}

float FolderChipWidth(size_t characters, float scale)
{
    return std::min(6.2f * static_cast<float>(characters) + 20.0f, 150.0f) * scale;
}

float AttachmentChipWidth(size_t characters, float scale)
{
    return std::min(6.6f * static_cast<float>(characters) + 28.0f, 220.0f) * scale;
}

float DragBadgeWidth(size_t characters, float scale)
{
    return (6.6f * static_cast<float>(characters) + 24.0f) * scale;
}

} // namespace postern
