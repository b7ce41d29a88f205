// The one line of the status bar that counts what the list shows.
#pragma once

#include "ui/ListState.h"

#include <cstddef>
#include <string>

namespace postern {

// Recomputes state.statusText from the counts and the selection.
void UpdateStatusText(ListState& state);

// The line while search hits are shown: "3 results in all folders", with
// " — searching…" until the last batch has arrived.
[[nodiscard]] std::u16string SearchStatusText(std::size_t shown, bool done);

} // namespace postern
