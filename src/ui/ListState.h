// ListState: the message list as the application object holds it, a plain
// value on the UI thread. `viewRows` is derived from `allRows` (filter, then
// optional grouping into conversations) or holds search hits; the selection
// fields index `viewRows`, so every change of `viewRows` goes through the
// functions of ListModel.h, which re-establish them.
#pragma once

#include "ui/SearchQuery.h"
#include "ui/MessageRow.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace postern {

struct ListState {
    std::vector<MessageRow> allRows;  // the current folder or unified inbox, in delivery order
    std::vector<MessageRow> viewRows; // what the list shows
    std::u16string filterText;        // empty: no filter
    std::vector<QueryTerm> filterTerms; // filterText parsed
    bool conversationMode = false;
    bool loading = false;
    uint32_t folderTotal = 0;   // message count the server reported for the folder
    bool searchResults = false; // viewRows holds hits of a search across all folders
    int32_t currentRow = -1;    // the row in the reading pane; -1 = none
    int32_t anchorRow = -1;     // start of Shift ranges
    std::set<int32_t> selectedRows; // holds currentRow whenever it is not -1
    std::u16string statusText;
    bool unifiedInbox = false;  // the rail's "All Inboxes" item is the one shown
    uint32_t accountCount = 0;  // for the "All Inboxes" status line
};

} // namespace postern
