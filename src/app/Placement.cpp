#include "app/Placement.h"

#include <algorithm>
#include <cmath>

namespace postern {

namespace {

int32_t RoundWidth(float width)
{
    return static_cast<int32_t>(width + 0.5f);
}

bool Span(int32_t from, int32_t to, int32_t& size)
{
    const int64_t span = static_cast<int64_t>(to) - from;
    if (span < 1 || span > INT32_MAX)
        return false;
    size = static_cast<int32_t>(span);
    return true;
}

} // namespace

PaneWidths InitialPaneWidths(const AppSettings& settings)
{
    PaneWidths panes;
    if (settings.railW > 0)
        panes.rail = static_cast<float>(settings.railW);
    if (settings.listW > 0)
        panes.list = static_cast<float>(settings.listW);
    panes.rail = ClampRailWidth(panes.rail);
    panes.list = ClampListWidth(panes.list);
    return panes;
}

bool SavedWindowRect(const AppSettings& settings, ScreenRect& rect)
{
    if (settings.windowW <= 0 || settings.windowH <= 0)
        return false;
    // A hand-edited file can put the far edge beyond what a coordinate holds.
    const int64_t right = static_cast<int64_t>(settings.windowX) + settings.windowW;
    const int64_t bottom = static_cast<int64_t>(settings.windowY) + settings.windowH;
    if (right > INT32_MAX || bottom > INT32_MAX)
        return false;
    rect = {settings.windowX, settings.windowY, static_cast<int32_t>(right), static_cast<int32_t>(bottom)};
    return true;
}

bool StoreWindowPlacement(const WindowPlacementState& state, PaneWidths panes, AppSettings& settings)
{
    if (state.minimized)
        return false;
    // In the normal state the window's own rectangle is the truth; the
    // placement's normal rectangle lags behind some moves (and is in
    // work-area coordinates where a taskbar sits on the left or top).
    const bool normal = !state.maximized;
    const ScreenRect& rect = normal ? state.windowRect : state.normalRect;
    int32_t width = 0;
    int32_t height = 0;
    if (!Span(rect.left, rect.right, width) || !Span(rect.top, rect.bottom, height))
        return false;
    settings.maximized = state.maximized;
    settings.windowX = rect.left;
    settings.windowY = rect.top;
    settings.windowW = width;
    settings.windowH = height;
    settings.railW = RoundWidth(ClampRailWidth(panes.rail));
    settings.listW = RoundWidth(ClampListWidth(panes.list));
    return true;
}

} // namespace postern
