// The dark look of the window frame and of menus, asked of the system where
// it offers it and skipped where it does not.
#pragma once

#include <windows.h>

namespace postern::shell {

// Before any window exists: menus follow the dark theme.
void UseDarkMenus();

// A dark title bar for `window`.
void UseDarkTitleBar(HWND window);

} // namespace postern::shell
