#include "ui/ListSelection.h"

#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

namespace {

constexpr int32_t kPageRows = 8;

} // namespace

RowClick ClickRow(ListState& state, int32_t row, ClickModifiers modifiers)
{
    RowClick click;
    if (!IsViewRow(state, row))
        return click;
    if (modifiers.shift && IsViewRow(state, state.anchorRow)) {
        state.selectedRows.clear();
        for (int32_t i = std::min(state.anchorRow, row); i <= std::max(state.anchorRow, row); ++i)
            state.selectedRows.insert(i);
        state.currentRow = row;
        UpdateStatusText(state);
        click.open = row;
        click.keepSelection = true;
        click.mayDrag = true;
        return click;
    }
    if (modifiers.ctrl && !modifiers.shift) {
        if (state.selectedRows.empty() && state.currentRow >= 0)
            state.selectedRows.insert(state.currentRow);
        if (state.selectedRows.erase(row) > 0) {
            if (state.currentRow == row)
                state.currentRow = state.selectedRows.empty() ? -1 : *state.selectedRows.begin();
            UpdateStatusText(state);
            return click; // nothing left under the pointer to drag
        }
        state.selectedRows.insert(row);
        state.anchorRow = row;
        UpdateStatusText(state);
        click.open = row;
        click.keepSelection = true;
        click.mayDrag = true;
        return click;
    }
    click.mayDrag = true;
    if (state.selectedRows.count(row) > 0)
        click.pressedSelected = true;
    else
        click.open = row;
    return click;
}

int32_t RowForKey(ListKey key, int32_t currentRow, size_t rowCount)
{
    const auto count = static_cast<int32_t>(std::min<size_t>(rowCount, INT32_MAX));
    if (count == 0)
        return -1;
    const int32_t k = std::clamp(currentRow, -1, count - 1);
    switch (key) {
    case ListKey::up:
        return k >= 1 ? k - 1 : -1;
    case ListKey::down:
        return k + 1 < count ? k + 1 : -1;
    case ListKey::home:
        return 0;
    case ListKey::end:
        return count - 1;
    case ListKey::pageUp:
        return std::max(k - kPageRows, 0);
    case ListKey::pageDown:
        return std::min(count - 1, k + kPageRows);
    }
    return -1;
}

} // namespace postern
