#include "ui/ListModel.h"

#include "ui/Conversations.h"
#include "ui/StatusText.h"

#include <utility>

namespace postern {

namespace {

bool RowIs(const MessageRow& row, const RowKey& key)
{
    return row.header.uid == key.uid && row.account == key.account && row.mailbox == key.mailbox;
}

bool MemberIs(const ConversationMember& member, const RowKey& key)
{
    return member.uid == key.uid && member.account == key.account && member.mailbox == key.mailbox;
}

// After any change of viewRows: the remembered message becomes current
// again when it is still shown, and the selection is that row alone.
void Reselect(ListState& state, const RowKey& current)
{
    SelectOnly(state, current.uid == 0 ? -1 : FindViewRow(state, current));
}

} // namespace

void RebuildView(ListState& state)
{
    if (!state.conversationMode) {
        if (state.filterTerms.empty()) {
            state.viewRows = state.allRows;
            return;
        }
        state.viewRows.clear();
        for (const MessageRow& row : state.allRows) {
            if (FilterMatches(state.filterTerms, row.senderText, row.subjectText))
                state.viewRows.push_back(row);
        }
        return;
    }
    // Grouping copies what it keeps into the conversation rows; the rows
    // that pass the filter are only pointed at.
    std::vector<const MessageRow*> kept;
    kept.reserve(state.allRows.size());
    for (const MessageRow& row : state.allRows) {
        if (state.filterTerms.empty() || FilterMatches(state.filterTerms, row.senderText, row.subjectText))
            kept.push_back(&row);
    }
    state.viewRows = BuildConversations(kept);
}

RowKey KeyOfRow(const ListState& state, int32_t row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= state.viewRows.size())
        return {};
    const MessageRow& r = state.viewRows[static_cast<std::size_t>(row)];
    return RowKey{r.account, r.mailbox, r.header.uid};
}

int32_t FindViewRow(const ListState& state, const RowKey& key)
{
    if (key.uid == 0)
        return -1;
    const std::vector<MessageRow>& rows = state.viewRows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (RowIs(rows[i], key))
            return static_cast<int32_t>(i);
    }
    // A conversation row carries its newest message's UID; when a new reply
    // arrives, the message being read is an older member of it.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (const ConversationMember& member : rows[i].members) {
            if (MemberIs(member, key))
                return static_cast<int32_t>(i);
        }
    }
    return -1;
}

void SelectOnly(ListState& state, int32_t row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= state.viewRows.size())
        row = -1;
    state.currentRow = row;
    state.anchorRow = row;
    state.selectedRows.clear();
    if (row != -1)
        state.selectedRows.insert(row);
}

RowsApplied ApplyRows(ListState& state, std::vector<MessageRow> rows, uint32_t folderTotal, bool keepScroll,
                      const ReopenRequest& reopen)
{
    RowsApplied applied;
    state.allRows = std::move(rows);
    state.folderTotal = folderTotal;
    state.loading = false;
    if (state.searchResults) {
        // The hits stay on screen; the folder's rows come back when the
        // filter changes.
        UpdateStatusText(state);
        return applied;
    }
    const RowKey current = KeyOfRow(state, state.currentRow);
    RebuildView(state);
    Reselect(state, current);
    if (!keepScroll) {
        if (state.currentRow == -1)
            applied.emptyReadingPane = true;
        if (reopen.pending && state.currentRow == -1 && reopen.uid != 0) {
            for (std::size_t i = 0; i < state.viewRows.size(); ++i) {
                const MessageRow& row = state.viewRows[i];
                if (row.account == reopen.account && row.header.uid == reopen.uid) {
                    applied.reopenRow = static_cast<int32_t>(i);
                    break;
                }
            }
        }
    }
    UpdateStatusText(state);
    return applied;
}

RowsApplied ApplyFolderRows(ListState& state, uint32_t account, std::string_view mailbox,
                            const std::vector<MessageHeader>& headers, uint32_t folderTotal, bool keepScroll,
                            const ReopenRequest& reopen)
{
    std::vector<MessageRow> rows;
    rows.reserve(headers.size());
    for (const MessageHeader& header : headers)
        rows.push_back(BuildRow(account, mailbox, header));
    return ApplyRows(state, std::move(rows), folderTotal, keepScroll, reopen);
}

bool ChangeFilter(ListState& state, std::u16string_view text)
{
    if (text == state.filterText)
        return false;
    state.filterText = std::u16string(text);
    state.filterTerms = ParseFilterQuery(text);
    state.searchResults = false;
    RebuildView(state);
    SelectOnly(state, -1);
    UpdateStatusText(state);
    return true;
}

void ChangeConversationMode(ListState& state, bool on)
{
    if (state.conversationMode == on)
        return;
    state.conversationMode = on;
    if (state.searchResults) {
        // Hits are never grouped; the mode applies when the view comes back.
        UpdateStatusText(state);
        return;
    }
    const RowKey current = KeyOfRow(state, state.currentRow);
    RebuildView(state);
    Reselect(state, current);
    UpdateStatusText(state);
}

void ShowSearchHits(ListState& state, std::vector<MessageRow> hits)
{
    const RowKey current = KeyOfRow(state, state.currentRow);
    state.searchResults = true;
    state.viewRows = std::move(hits);
    Reselect(state, current);
}

} // namespace postern
