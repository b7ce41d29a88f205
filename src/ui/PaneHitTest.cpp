#include "ui/PaneHitTest.h"

#include <algorithm>
#include <cmath>

namespace postern {

namespace {

constexpr float kSplitterReach = 4.0f;
constexpr float kScrollbarReach = 10.0f;

// Between the toolbar and the status bar: the only band where the panes'
// contents can be hit.
bool InPaneBand(const WindowMetrics& m, float y)
{
    return y > m.Px(kToolbarHeight) && y < m.height - m.Px(kStatusBarHeight);
}

float Finite(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

Splitter SplitterAt(const WindowMetrics& m, float x, float y)
{
    if (!InPaneBand(m, y))
        return Splitter::none;
    if (std::fabs(x - m.Px(m.railWidth)) <= m.Px(kSplitterReach))
        return Splitter::rail;
    if (std::fabs(x - m.Px(m.railWidth + m.listWidth)) <= m.Px(kSplitterReach))
        return Splitter::list;
    return Splitter::none;
}

bool InListRows(const WindowMetrics& m, float x, float y)
{
    return InPaneBand(m, y) && x > m.Px(m.railWidth) && x < m.Px(m.railWidth + m.listWidth);
}

int32_t RowAt(const WindowMetrics& m, float y, float listScroll, size_t rowCount)
{
    const float rowHeight = m.Px(kRowHeight);
    if (!InPaneBand(m, y) || rowHeight <= 0)
        return -1;
    const double index = std::floor((y - m.Px(kToolbarHeight) + Finite(listScroll)) / rowHeight);
    if (!(index >= 0) || index >= static_cast<double>(rowCount))
        return -1;
    return static_cast<int32_t>(index);
}

int32_t RailItemAt(const WindowMetrics& m, const std::vector<Rect>& lines, float x, float y)
{
    if (!InPaneBand(m, y) || x < 0 || x >= m.Px(m.railWidth))
        return -1;
    for (size_t i = 0; i < lines.size(); ++i) {
        const Rect& line = lines[i];
        if (!line.IsEmpty() && y >= line.top && y < line.bottom)
            return static_cast<int32_t>(i);
    }
    return -1;
}

RailClick RailClickAt(const RailItem& item, float x, float scale)
{
    if (item.isAccount)
        return RailClick::toggle;
    const float chevronEnd = scale * (15.0f * static_cast<float>(item.depth) + 12.0f + 20.0f);
    if (item.hasChildren && x < chevronEnd)
        return RailClick::toggle;
    if (item.bright)
        return RailClick::open;
    return item.hasChildren ? RailClick::toggle : RailClick::nothing;
}

bool AcceptsDrop(const RailItem& item)
{
    return IsOpenableFolder(item);
}

bool DragStarted(Point start, Point now)
{
    return std::fabs(now.x - start.x) >= kDragThreshold || std::fabs(now.y - start.y) >= kDragThreshold;
}

float ScrollIntoView(const WindowMetrics& m, float listScroll, int32_t row)
{
    if (row < 0)
        return listScroll;
    const float rowHeight = m.Px(kRowHeight);
    const float top = rowHeight * static_cast<float>(row);
    float scroll = Finite(listScroll);
    if (scroll > top)
        scroll = top;
    const float height = ListRect(m).Height();
    if (top + rowHeight > scroll + height)
        scroll = top + rowHeight - height;
    return std::max(0.0f, scroll);
}

std::optional<float> ThumbGrabAt(const WindowMetrics& m, size_t rowCount, float listScroll, float x, float y)
{
    const Rect list = ListRect(m);
    if (list.IsEmpty() || x < list.right - m.Px(kScrollbarReach) || x > list.right)
        return std::nullopt;
    if (y < m.Px(kToolbarHeight) || y > m.height - m.Px(kStatusBarHeight))
        return std::nullopt;
    const ScrollThumb bar = ListScrollThumb(m, rowCount, listScroll);
    if (!bar.shown)
        return std::nullopt;
    if (y >= bar.thumb.top && y <= bar.thumb.bottom)
        return y - bar.thumb.top;
    return bar.thumb.Height() / 2;
}

float ThumbDragScroll(const WindowMetrics& m, size_t rowCount, float y, float grab)
{
    const float maximum = MaxListScroll(m, rowCount);
    const ScrollThumb bar = ListScrollThumb(m, rowCount, 0);
    const float travel = bar.track.Height() - bar.thumb.Height();
    // A list no taller than its thumb has nowhere for the thumb to go.
    if (!bar.shown || !(travel > 0) || !(maximum > 0))
        return 0;
    const float scroll = (y - Finite(grab) - bar.track.top) / travel * maximum;
    return std::clamp(Finite(scroll), 0.0f, maximum);
}

float RailWidthAt(float x, float scale)
{
    return ClampRailWidth(x / scale);
}

float ListWidthAt(float x, float scale, float railWidth)
{
    return ClampListWidth(x / scale - railWidth);
}

float RailFitWidth(const std::vector<RailItem>& items, float scale, const MeasureLabel& measure)
{
    float width = kMinRailWidth * scale;
    for (const RailItem& item : items) {
        const float indent = item.isAccount ? 40.0f * scale : (15.0f * static_cast<float>(item.depth) + 32.0f) * scale;
        width = std::max(width, indent + Finite(measure(item.label, item.isAccount)) + 46.0f * scale);
    }
    return ClampRailWidth(width / scale);
}

} // namespace postern
