// What clicks and keys do to the list's selection: Ctrl adds or removes one
// row, Shift takes the range from the anchor, a plain click chooses one row;
// the keys move the current row. The caller opens the row these name.
#pragma once

#include "ui/ListState.h"

#include <cstddef>
#include <cstdint>

namespace postern {

struct ClickModifiers {
    bool ctrl = false;
    bool shift = false;
};

struct RowClick {
    int32_t open = -1;          // the row to open, -1 for none
    bool keepSelection = false; // open it inside the selection made here
    // A plain press on a row already selected: the selection stays, so that
    // a drag carries all of it; a release without a drag selects that row
    // alone.
    bool pressedSelected = false;
    bool mayDrag = false; // the press may turn into a drag of the selection
};

// A left press on view row `row` (in range).
[[nodiscard]] RowClick ClickRow(ListState& state, int32_t row, ClickModifiers modifiers);

enum class ListKey { up, down, home, end, pageUp, pageDown };

// The row a key opens, -1 for none. Page keys move 8 rows.
[[nodiscard]] int32_t RowForKey(ListKey key, int32_t currentRow, size_t rowCount);

} // namespace postern
