// Filtering the list as the user types, and the search across every folder
// of every account that Enter starts (its hits arrive in batches from the
// worker; a batch of a search the user has moved on from is dropped).
#include "app/PosternApp.h"

#include "platform/Charset.h"
#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include <algorithm>

namespace postern {

void PosternApp::FilterChanged(std::u16string_view text)
{
    if (!ChangeFilter(list_, text))
        return;
    searchGenerationShared_.store(++searchGeneration_);
    if (text.empty()) {
        searchHits_.clear();
        EmptyReadingPane();
    }
    listScroll_ = 0;
    if (ui_)
        ui_->Repaint();
}

void PosternApp::StartGlobalSearch()
{
    if (list_.filterText.empty())
        return;
    const uint32_t generation = ++searchGeneration_;
    searchGenerationShared_.store(generation);
    searchHits_.clear();
    searchDone_ = false;
    ShowStatus(u"Searching all folders\u2026");
    lanes_.Normal([generation, query = Utf16ToUtf8(list_.filterText)](MailWorker& worker) {
        worker.WSearch(generation, query, 0, 0, 0);
    });
}

void PosternApp::OnSearchBatch(SearchBatch& batch)
{
    if (batch.generation != searchGeneration_)
        return;
    list_.searchResults = true;
    for (SearchHit& hit : batch.hits)
        searchHits_.push_back(std::move(hit));
    if (batch.done)
        searchDone_ = true;
    std::stable_sort(searchHits_.begin(), searchHits_.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.header.date > b.header.date; });
    std::vector<MessageRow> rows;
    rows.reserve(searchHits_.size());
    for (const SearchHit& hit : searchHits_) {
        MessageRow row = BuildRow(static_cast<uint32_t>(std::max(hit.account, 0)), hit.mailbox, hit.header);
        row.folderLabel = Utf8ToUtf16(hit.folderLabel);
        rows.push_back(std::move(row));
    }
    ShowSearchHits(list_, std::move(rows));
    SelectOnly(list_, list_.currentRow);
    list_.statusText = SearchStatusText(list_.viewRows.size(), searchDone_);
    if (ui_)
        ui_->Repaint();
}

} // namespace postern
