// The operations on ListState: applying a folder's rows, rebuilding the view
// after a filter or grouping change, showing search hits, and keeping the
// selection consistent with the rows shown. No painting here: the results
// tell the caller what the window has to do.
#pragma once

#include "mail/MessageHeader.h"
#include "ui/ListState.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// Which message a row shows, independent of where it sits in the view.
struct RowKey {
    uint32_t account = 0;
    std::string mailbox;
    uint32_t uid = 0; // 0: no message
};

// The message selected in the previous run, opened once after start-up.
struct ReopenRequest {
    bool pending = false; // autoSelectDone still false
    uint32_t account = 0;
    uint32_t uid = 0;
};

struct RowsApplied {
    bool emptyReadingPane = false; // no row is current any more
    int32_t reopenRow = -1;        // the caller opens this row (SelectRow(i, false))
};

// viewRows from allRows: the filter, then conversations when grouping is on.
// Search hits are not touched (they are not a view of allRows).
void RebuildView(ListState& state);

// Replaces allRows with one row per header in the given order, keeps the
// current message current when it is still there, and resets the selection
// to it. While search hits are shown only allRows changes.
RowsApplied ApplyFolderRows(ListState& state, uint32_t account, std::string_view mailbox,
                            const std::vector<MessageHeader>& headers, uint32_t folderTotal, bool keepScroll,
                            const ReopenRequest& reopen);

// The same for rows already built (All Inboxes mixes accounts and mailboxes).
RowsApplied ApplyRows(ListState& state, std::vector<MessageRow> rows, uint32_t folderTotal, bool keepScroll,
                      const ReopenRequest& reopen);

// A new filter text. False when it equals the current one (nothing to do);
// otherwise the view is rebuilt, search hits are dropped, no row is current
// and the status text is recomputed. Cancelling a running search and
// emptying the reading pane are the caller's.
bool ChangeFilter(ListState& state, std::u16string_view text);

// Grouping switched on or off: the view is rebuilt and the current message
// stays current (as its conversation's row when grouping).
void ChangeConversationMode(ListState& state, bool on);

// Search hits replace the view (newest first, no filter, no grouping); the
// current message stays current when it is among them.
void ShowSearchHits(ListState& state, std::vector<MessageRow> hits);

// The key of a view row, or an empty key for an index out of range.
[[nodiscard]] RowKey KeyOfRow(const ListState& state, int32_t row);

// The first view row that is this message, else the first conversation row
// holding it as a member, else -1.
[[nodiscard]] int32_t FindViewRow(const ListState& state, const RowKey& key);

// Whether `row` indexes a row of the view.
[[nodiscard]] inline bool IsViewRow(const ListState& state, int32_t row)
{
    return row >= 0 && static_cast<size_t>(row) < state.viewRows.size();
}

// Makes `row` current and the whole selection (-1 clears both).
void SelectOnly(ListState& state, int32_t row);

} // namespace postern
