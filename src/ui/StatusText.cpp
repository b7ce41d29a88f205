#include "ui/StatusText.h"

#include "platform/Charset.h"

#include <cstdio>

namespace postern {

std::u16string SearchStatusText(std::size_t shown, bool done)
{
    char text[128];
    std::snprintf(text, sizeof text, "%zu result%s in all folders%s", shown, shown == 1 ? "" : "s",
                  done ? "" : " \xE2\x80\x94 searching\xE2\x80\xA6");
    return Utf8ToUtf16(text);
}

void UpdateStatusText(ListState& state)
{
    std::size_t unread = 0;
    for (const MessageRow& row : state.allRows) {
        if (!row.header.seen)
            ++unread;
    }
    const std::size_t total = state.allRows.size();
    const std::size_t shown = state.viewRows.size();

    // U+00B7 between the counts, U+2014 in the selection line.
    char text[192];
    if (state.selectedRows.size() >= 2) {
        std::snprintf(text, sizeof text, "%zu selected \xE2\x80\x94 Delete removes all", state.selectedRows.size());
    } else if (!state.filterText.empty() && state.searchResults) {
        std::snprintf(text, sizeof text, "%zu of %zu match \xC2\xB7 %zu unread", shown, total, unread);
    } else if (!state.filterText.empty()) {
        std::snprintf(text, sizeof text, "%zu of %zu in view \xC2\xB7 press Enter to search all folders", shown,
                      total);
    } else if (state.unifiedInbox) {
        std::snprintf(text, sizeof text, "%zu messages \xC2\xB7 %zu unread \xC2\xB7 %zu inboxes", total, unread,
                      static_cast<std::size_t>(state.accountCount));
    } else if (total < state.folderTotal) {
        std::snprintf(text, sizeof text, "latest %zu of %u messages \xC2\xB7 %zu unread", total,
                      static_cast<unsigned>(state.folderTotal), unread);
    } else {
        std::snprintf(text, sizeof text, "%zu message%s \xC2\xB7 %zu unread", total, total == 1 ? "" : "s",
                      unread);
    }
    state.statusText = Utf8ToUtf16(text);
}

} // namespace postern
