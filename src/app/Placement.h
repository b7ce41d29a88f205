// Where the main window opens and what of its placement is remembered: the
// rules, kept apart from the window so that they are tested without one.
#pragma once

#include "account/Settings.h"
#include "ui/MainLayout.h"

#include <cstdint>

namespace postern {

inline constexpr int32_t kDefaultWindowWidth = 1280;
inline constexpr int32_t kDefaultWindowHeight = 840;

// Screen pixels; right and bottom are exclusive.
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// What the window system says about the main window at one moment.
struct WindowPlacementState {
    bool minimized = false;
    bool maximized = false;
    ScreenRect normalRect; // where the window goes when restored
    ScreenRect windowRect; // where it is now
};

struct PaneWidths {
    float rail = kDefaultRailWidth;
    float list = kDefaultListWidth;
};

// The stored widths where there are any, each clamped to its range.
[[nodiscard]] PaneWidths InitialPaneWidths(const AppSettings& settings);

// The saved normal rectangle, when the settings hold one with a size. Whether
// it is on a monitor is for the window system to say.
[[nodiscard]] bool SavedWindowRect(const AppSettings& settings, ScreenRect& rect);

// Copies the placement and the pane widths into the settings. False, with
// nothing changed, while the window is minimized: the minimized rectangle
// says nothing about where the user wants the window.
[[nodiscard]] bool StoreWindowPlacement(const WindowPlacementState& state, PaneWidths panes,
                                        AppSettings& settings);

} // namespace postern
