// What the user does to messages: marking read, deleting, moving, locking,
// copying the sender or subject, saving an attachment. The window changes at
// once; the server work follows as jobs, and a failed job does not roll the
// window back (the next load shows the server's state).
#include "app/PosternApp.h"

#include "app/AttachmentFile.h"
#include "mail/SmtpClient.h"
#include "platform/Charset.h"
#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace postern {

namespace {

constexpr uint64_t kRemovalMs = 150;

std::string LockKeyOf(const MessageRow& row)
{
    return LockKey(static_cast<int32_t>(row.account), row.mailbox, row.header.uid, row.header.messageId);
}

// The seen flag of the row's own message: a conversation row's header says
// "every member seen", but its UID is only the newest member's.
bool OwnMessageSeen(const MessageRow& row, const std::string& mailbox)
{
    for (const ConversationMember& member : row.members)
        if (member.account == row.account && member.uid == row.header.uid && member.mailbox == mailbox)
            return member.seen;
    return row.header.seen;
}

} // namespace

// --- unread state ----------------------------------------------------------------

bool PosternApp::IsRowMessage(const MessageRow& row, uint32_t account, const std::string& mailbox, uint32_t uid) const
{
    return row.account == account && row.header.uid == uid && MailboxOfRow(row) == mailbox;
}

void PosternApp::SetSeenOn(std::vector<MessageRow>& rows, const MessageRef& message, bool seen) const
{
    for (MessageRow& row : rows) {
        if (IsRowMessage(row, message.account, message.mailbox, message.uid))
            row.header.seen = seen;
        for (ConversationMember& member : row.members)
            if (member.account == message.account && member.uid == message.uid && member.mailbox == message.mailbox)
                member.seen = seen;
    }
}

void PosternApp::SetSeenEverywhere(const MessageRef& message, bool seen)
{
    // Search hits and other folders' messages share UIDs with the rows
    // shown here: only the same account, mailbox and UID is the same message.
    SetSeenOn(list_.allRows, message, seen);
    SetSeenOn(list_.viewRows, message, seen);
    if (rail_.UnifiedShown() && message.account < caches_.AccountCount()
        && rail_.IsInboxOf(message.account, message.mailbox))
        for (MessageHeader& header : caches_.InboxHeaders(message.account))
            if (header.uid == message.uid)
                header.seen = seen;
}

void PosternApp::MarkRead(int32_t row, bool read)
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size() || !rail_.CurrentItem())
        return;
    const MessageRow& target = list_.viewRows[static_cast<size_t>(row)];
    if (target.header.seen == read)
        return;
    // A conversation row is read when every member is: each member whose
    // flag differs changes, in its own folder, or the others would turn
    // the conversation unread again at the next load.
    std::vector<MessageRef> changed;
    if (target.members.size() > 1) {
        for (const ConversationMember& member : target.members)
            if (member.seen != read)
                changed.push_back({member.account, member.mailbox, member.uid, !member.seen});
    } else {
        changed.push_back({target.account, MailboxOfRow(target), target.header.uid, !target.header.seen});
    }
    for (const MessageRef& message : changed) {
        SetSeenEverywhere(message, read);
        rail_.AdjustUnread(message.account, message.mailbox, read ? -1 : 1);
    }
    MessageRow& marked = list_.viewRows[static_cast<size_t>(row)];
    marked.header.seen = read;
    for (ConversationMember& member : marked.members)
        member.seen = read;
    lanes_.Normal([changed = std::move(changed), read](MailWorker& worker) { worker.WStoreSeen(changed, read); });
    UpdateTray();
    UpdateStatusText(list_);
    if (ui_)
        ui_->Repaint();
}

std::vector<MessageRef> PosternApp::MarkSeenOnOpen(int32_t row)
{
    std::vector<MessageRef> targets;
    const MessageRow& opened = list_.viewRows[static_cast<size_t>(row)];
    if (opened.members.size() > 1) {
        for (const ConversationMember& member : opened.members)
            if (!member.seen)
                targets.push_back({member.account, member.mailbox, member.uid, true});
    } else if (!opened.header.seen) {
        targets.push_back({opened.account, MailboxOfRow(opened), opened.header.uid, true});
    }
    for (const MessageRef& target : targets) {
        rail_.AdjustUnread(target.account, target.mailbox, -1);
        SetSeenEverywhere(target, true);
    }
    MessageRow& shown = list_.viewRows[static_cast<size_t>(row)];
    shown.header.seen = true;
    for (ConversationMember& member : shown.members)
        member.seen = true;
    return targets;
}

void PosternApp::MarkFolderRead(int32_t index)
{
    const RailItem* chosen = rail_.Item(index);
    if (!chosen || chosen->isAccount || chosen->lockedView)
        return;
    const RailItem item = *chosen;
    std::vector<std::pair<uint32_t, std::string>> targets;
    if (item.unified) {
        for (size_t account = 0; account < rail_.AccountCount(); ++account)
            if (!rail_.InboxName(account).empty())
                targets.emplace_back(static_cast<uint32_t>(account), rail_.InboxName(account));
    } else {
        targets.emplace_back(static_cast<uint32_t>(item.account), item.path);
    }
    const RailItem* current = rail_.CurrentItem();
    for (const auto& [account, mailbox] : targets) {
        rail_.SetUnread(account, mailbox, 0);
        if (rail_.IsInboxOf(account, mailbox) && account < caches_.AccountCount())
            for (MessageHeader& header : caches_.InboxHeaders(account))
                header.seen = true;
        for (MessageRow& row : list_.allRows) {
            const std::string& rowMailbox = row.mailbox.empty() && current ? current->path : row.mailbox;
            if (row.account == account && rowMailbox == mailbox)
                row.header.seen = true;
        }
        lanes_.Priority([account = account, mailbox = mailbox](MailWorker& worker) {
            worker.WMarkFolderSeen(account, mailbox);
        });
    }
    if (rail_.UnifiedShown()) {
        RebuildUnified(true);
    } else if (!lockedViewShown_ && !list_.searchResults) {
        const RowKey key = KeyOfRow(list_, list_.currentRow);
        RebuildView(list_);
        SelectOnly(list_, FindViewRow(list_, key));
    }
    UpdateTray();
    UpdateStatusText(list_);
    if (ui_)
        ui_->Repaint();
}

// --- delete and move ---------------------------------------------------------------

std::vector<int32_t> PosternApp::ActedRows() const
{
    std::vector<int32_t> rows(list_.selectedRows.begin(), list_.selectedRows.end());
    if (rows.empty() && list_.currentRow >= 0)
        rows.push_back(list_.currentRow);
    std::erase_if(rows, [this](int32_t row) { return row < 0 || static_cast<size_t>(row) >= list_.viewRows.size(); });
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PosternApp::RemoveMessage(const MessageRef& ref)
{
    if (ref.wasUnread)
        rail_.AdjustUnread(ref.account, ref.mailbox, -1);
    // The inbox cache holds only the inboxes, allRows only the current
    // folder: a hit from elsewhere with the same UID is another message.
    if (rail_.UnifiedShown() && ref.account < caches_.AccountCount() && rail_.IsInboxOf(ref.account, ref.mailbox))
        std::erase_if(caches_.InboxHeaders(ref.account),
                      [&](const MessageHeader& header) { return header.uid == ref.uid; });
    std::erase_if(list_.allRows,
                  [&](const MessageRow& row) { return IsRowMessage(row, ref.account, ref.mailbox, ref.uid); });
}

void PosternApp::RemoveRowsFromView(const std::vector<int32_t>& rows)
{
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        list_.viewRows.erase(list_.viewRows.begin() + *it);
    EmptyReadingPane();
    SelectOnly(list_, -1);
    const auto count = static_cast<int32_t>(list_.viewRows.size());
    if (count == 0) {
        list_.anchorRow = -1;
    } else {
        SelectRow(std::min(rows.front(), count - 1), false);
    }
    UpdateTray();
    UpdateStatusText(list_);
    StartRemoval(rows.front(), rows.size());
}

void PosternApp::DeleteSelected()
{
    if (!rail_.CurrentItem())
        return;
    const std::vector<int32_t> rows = ActedRows();
    std::vector<int32_t> deleted;
    std::vector<MessageRef> records;
    size_t locked = 0;
    for (const int32_t index : rows) {
        const MessageRow& row = list_.viewRows[static_cast<size_t>(index)];
        if (IsLocked(index)) {
            ++locked;
            continue;
        }
        deleted.push_back(index);
        const std::string mailbox = MailboxOfRow(row);
        records.push_back({row.account, mailbox, row.header.uid, !OwnMessageSeen(row, mailbox)});
    }
    if (records.empty()) {
        if (locked > 0)
            ShowStatus(u"Locked \u2014 unlock to delete.");
        return;
    }
    for (const MessageRef& record : records) {
        RemoveMessage(record);
        lanes_.Priority([record](MailWorker& worker) { worker.WDelete(record); });
    }
    RemoveRowsFromView(deleted);
    if (locked > 0)
        list_.statusText = u"Deleted (kept " + Utf8ToUtf16(std::to_string(locked)) + u" locked).";
    if (ui_)
        ui_->Repaint();
}

void PosternApp::MoveSelectionToFolder(int32_t index)
{
    const RailItem* chosen = rail_.Item(index);
    if (!chosen || !IsOpenableFolder(*chosen))
        return;
    const RailItem target = *chosen;
    const auto targetAccount = static_cast<uint32_t>(target.account);
    const std::vector<int32_t> rows = ActedRows();
    std::vector<int32_t> moved;
    std::vector<MessageRef> records;
    size_t foreign = 0, skipped = 0;
    for (const int32_t at : rows) {
        const MessageRow& row = list_.viewRows[static_cast<size_t>(at)];
        const std::string mailbox = MailboxOfRow(row);
        if (row.account != targetAccount) {
            ++foreign;
            ++skipped;
        } else if (mailbox == target.path || IsLocked(at)) {
            ++skipped;
        } else {
            moved.push_back(at);
            records.push_back({row.account, mailbox, row.header.uid, !OwnMessageSeen(row, mailbox)});
        }
    }
    if (records.empty()) {
        ShowStatus(foreign > 0 ? u"Can't move messages across accounts." : u"Nothing to move.");
        return;
    }
    for (const MessageRef& record : records) {
        if (record.wasUnread)
            rail_.AdjustUnread(targetAccount, target.path, 1);
        RemoveMessage(record);
        lanes_.Priority([record, destination = target.path](MailWorker& worker) { worker.WMove(record, destination); });
    }
    RemoveRowsFromView(moved);
    char count[32];
    std::snprintf(count, sizeof count, "%zu", records.size());
    list_.statusText = u"Moved " + Utf8ToUtf16(count) + u" to " + target.label + (skipped > 0 ? u" (some skipped)" : u"");
    if (ui_)
        ui_->Repaint();
}

void PosternApp::StartRemoval(int32_t firstIndex, size_t count)
{
    removal_.running = true;
    removal_.firstIndex = firstIndex;
    removal_.removedRows = count;
    removal_.startMs = NowMs();
    removal_.offset = static_cast<float>(count) * kRowHeight;
    if (ui_)
        ui_->StartTimer(kRemovalTimer, kRemovalTimerMs);
}

void PosternApp::StepRemoval()
{
    const uint64_t elapsed = NowMs() - removal_.startMs;
    if (!removal_.running || elapsed >= kRemovalMs) {
        removal_.running = false;
        removal_.offset = 0.0f;
    } else {
        const float left = 1.0f - static_cast<float>(elapsed) / static_cast<float>(kRemovalMs);
        removal_.offset = left * left * left * static_cast<float>(removal_.removedRows) * kRowHeight;
    }
    if (ui_)
        ui_->Repaint();
}

// --- locks ---------------------------------------------------------------------

bool PosternApp::IsLocked(int32_t row) const
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size())
        return false;
    MessageRow copy = list_.viewRows[static_cast<size_t>(row)];
    copy.mailbox = MailboxOfRow(copy);
    return lockList_.Contains(LockKeyOf(copy));
}

void PosternApp::ToggleLock(int32_t row)
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size())
        return;
    MessageRow target = list_.viewRows[static_cast<size_t>(row)];
    target.mailbox = MailboxOfRow(target);
    const std::string key = LockKeyOf(target);
    if (lockList_.Remove(key)) {
        list_.statusText = u"Message unlocked.";
    } else {
        LockEntry entry;
        entry.account = static_cast<int32_t>(target.account);
        entry.mailbox = target.mailbox;
        entry.uid = target.header.uid;
        entry.messageId = target.header.messageId;
        entry.from = target.header.from;
        entry.subject = target.header.subject;
        entry.date = target.header.date;
        lockList_.Insert(key, std::move(entry));
        list_.statusText = u"Message locked \u2014 it can't be deleted.";
    }
    SaveLocks();
    // Rebuilding the Locked view writes its own status line; what this
    // toggle (or a failed save) says must outlive it.
    const std::u16string status = list_.statusText;
    const bool wasShown = lockedViewShown_;
    SyncLockedRailItem();
    if (lockedViewShown_) {
        ShowLockedView();
    } else if (wasShown) {
        // The last lock is gone and with it the view that showed it.
        list_.allRows.clear();
        list_.viewRows.clear();
        SelectOnly(list_, -1);
        EmptyReadingPane();
    }
    list_.statusText = status;
    if (ui_)
        ui_->Repaint();
}

void PosternApp::SaveLocks()
{
    std::string error;
    if (!lockList_.Save(DataFile("locked.json"), error))
        list_.statusText = u"\u26A0 " + Utf8ToUtf16(error);
}

void PosternApp::ShowLockedView()
{
    std::vector<MessageRow> rows;
    for (const auto& [key, entry] : lockList_.Entries()) {
        MessageHeader header;
        header.uid = entry.uid;
        header.from = entry.from;
        header.subject = entry.subject;
        header.date = entry.date;
        header.messageId = entry.messageId;
        header.seen = true;
        MessageRow row = BuildRow(static_cast<uint32_t>(std::max(entry.account, 0)), entry.mailbox, header);
        row.folderLabel = LockedFolderLabel(entry.mailbox);
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const MessageRow& a, const MessageRow& b) { return a.header.date > b.header.date; });
    const RowKey key = KeyOfRow(list_, list_.currentRow);
    list_.loading = false;
    list_.searchResults = false;
    list_.allRows = rows;
    list_.viewRows = std::move(rows);
    list_.folderTotal = static_cast<uint32_t>(list_.viewRows.size());
    SelectOnly(list_, FindViewRow(list_, key));
    UpdateStatusText(list_);
}

// --- clipboard and attachments ----------------------------------------------------

void PosternApp::CopySender(int32_t row)
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size() || !ui_)
        return;
    const MessageHeader& header = list_.viewRows[static_cast<size_t>(row)].header;
    // The address read from the raw header; a row restored from the lock
    // list has only the decoded text.
    const std::vector<std::string> addresses = ExtractAddresses(header.from);
    const std::string& address = !header.fromAddress.empty() ? header.fromAddress
                                 : addresses.empty()          ? header.from
                                                              : addresses.front();
    if (ui_->SetClipboardText(Utf8ToUtf16(address)))
        ShowStatus(u"Sender address copied.");
}

void PosternApp::CopySubject(int32_t row)
{
    if (row < 0 || static_cast<size_t>(row) >= list_.viewRows.size() || !ui_)
        return;
    if (ui_->SetClipboardText(list_.viewRows[static_cast<size_t>(row)].subjectText))
        ShowStatus(u"Subject copied.");
}

AttachmentRef PosternApp::ShownAttachment(size_t part) const
{
    return {shownAccount_, shownMailbox_, shownUid_, part};
}

const ParsedMessage* PosternApp::AttachmentMessage(const AttachmentRef& attachment) const
{
    if (shownReady_ && shownAccount_ == attachment.account && shownMailbox_ == attachment.mailbox
        && shownUid_ == attachment.uid)
        return &shownMessage_;
    if (attachment.account < 0)
        return nullptr;
    return caches_.FindBody(static_cast<uint32_t>(attachment.account), attachment.mailbox, attachment.uid);
}

std::u16string PosternApp::AttachmentFileName(const AttachmentRef& attachment) const
{
    const ParsedMessage* message = AttachmentMessage(attachment);
    if (!message || attachment.part >= message->parts.size())
        return {};
    return SafeAttachmentFileName(Utf8ToUtf16(message->parts[attachment.part].filename));
}

void PosternApp::SaveAttachmentTo(const AttachmentRef& attachment, const std::filesystem::path& path)
{
    // The save dialog is modal, but records keep arriving: the message may
    // have left the reading pane, or the cache, while it was open.
    const ParsedMessage* message = AttachmentMessage(attachment);
    if (!message || attachment.part >= message->parts.size()) {
        ShowStatus(u"The message is no longer open; nothing was saved.");
        return;
    }
    std::string error;
    if (WriteAttachmentFile(path, message->parts[attachment.part].data, error))
        ShowStatus(u"Saved " + path.u16string());
    else
        ShowStatus(u"Could not write file.");
}

} // namespace postern
