// Virtual-key codes as the portable command table names them.
#pragma once

#include "app/Commands.h"

#include <windows.h>

namespace postern::shell {

[[nodiscard]] Key KeyOf(WPARAM virtualKey);

// Whether a key pressed in the reading pane's body belongs to the window.
[[nodiscard]] bool BodyKeyReachesWindow(WPARAM virtualKey, bool ctrl);

} // namespace postern::shell
