#include "shell/WindowPlacement.h"

namespace postern::shell {

namespace {

ScreenRect FromRect(const RECT& rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// The normal position of a placement is in work-area coordinates; with a
// taskbar at the left or top of the monitor they differ from screen
// coordinates, which is what the window is moved with at the next start.
RECT WorkAreaToScreen(RECT rect)
{
    const HMONITOR monitor = MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info))
        OffsetRect(&rect, info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top);
    return rect;
}

} // namespace

bool ReadPlacement(HWND window, WindowPlacementState& state)
{
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement))
        return false;
    RECT windowRect{};
    if (!GetWindowRect(window, &windowRect))
        return false;
    state.minimized = placement.showCmd == SW_SHOWMINIMIZED || IsIconic(window);
    state.maximized = !state.minimized && placement.showCmd == SW_SHOWMAXIMIZED;
    state.normalRect = FromRect(WorkAreaToScreen(placement.rcNormalPosition));
    state.windowRect = FromRect(windowRect);
    return true;
}

void RestoreSavedRect(HWND window, const AppSettings& settings)
{
    ScreenRect saved;
    if (!SavedWindowRect(settings, saved))
        return;
    const RECT rect{saved.left, saved.top, saved.right, saved.bottom};
    // A monitor that was there when the placement was saved may be gone.
    if (!MonitorFromRect(&rect, MONITOR_DEFAULTTONULL))
        return;
    SetWindowPos(window, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace postern::shell
