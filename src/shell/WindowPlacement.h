// Reading the main window's placement for the core, and putting the window
// back where the settings say it was.
#pragma once

#include "app/Placement.h"

#include <windows.h>

namespace postern::shell {

// False when the window system cannot say (GetWindowPlacement failed).
[[nodiscard]] bool ReadPlacement(HWND window, WindowPlacementState& state);

// Moves and sizes the window to the saved rectangle when that lies at least
// partly on an attached monitor; otherwise the window stays where it was
// created. Neither the z-order nor the activation changes.
void RestoreSavedRect(HWND window, const AppSettings& settings);

} // namespace postern::shell
