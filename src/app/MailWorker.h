// MailWorker: what only the job worker touches, and the job bodies that use
// it. Each account has one long-lived IMAP session, reused from job to job
// and reconnected after a failure; the worker keeps its own copy of the
// account records (with the access tokens, which are never saved), the
// mailbox each session has selected (consecutive jobs in one mailbox cost one
// SELECT), and the sent and trash folders and folder lists it found.
//
// WorkerLanes owns it once the worker runs and hands it to each job as the
// job's argument. Results go back to the UI thread as records through the
// UiPort; the worker entry points carry a "W" before their names.
#pragma once

#include "account/GoogleSignIn.h"
#include "account/Settings.h"
#include "app/ResultRecords.h"
#include "mail/FolderInfo.h"
#include "mail/ImapSession.h"
#include "ui/MessageRow.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace postern {

class UiPort;
class WorkerLanes;

// The worker's use of one account's session, for `postern-cli check` and the
// command-count benchmark.
struct SessionTraffic {
    uint32_t commands = 0;
    uint32_t roundTrips = 0;
    uint32_t connects = 0;
};

// One message an action acts on: UIDs repeat across folders, so a message is
// named by account, mailbox and UID together.
struct MessageRef {
    uint32_t account = 0;
    std::string mailbox;
    uint32_t uid = 0;
    bool wasUnread = false;
};

// What a header load is for: the list (results go to the window, which
// drops them when the generation has moved on) or a prefetch for the folder
// cache (no error shown, no contacts learned).
enum class HeaderLoadPurpose { show, prefetch };

struct HeaderLoad {
    size_t account = 0;
    std::string mailbox;
    uint32_t generation = 0;
    bool keepView = false; // the rows replace the list without moving the view
    HeaderLoadPurpose purpose = HeaderLoadPurpose::show;
};

// Whether fetching a body also marks it seen (it saves a STORE).
enum class SeenOnFetch { leave, mark };

// A conversation row opened: every member is fetched, newest last.
struct ConversationLoad {
    uint32_t account = 0;
    std::string mailbox; // of the row
    uint32_t rowUid = 0;
    std::vector<ConversationMember> members;
    std::vector<MessageRef> unseen; // marked seen while they are fetched
};

// What the worker shares with the UI thread: the generations it reads to
// drop work the user has moved on from.
struct WorkerGenerations {
    const std::atomic<uint32_t>* load = nullptr;
    const std::atomic<uint32_t>* search = nullptr;
};

class MailWorker {
public:
    MailWorker(WorkerLanes& lanes, SignInOptions signIn, WorkerGenerations generations, UiPort* ui);
    MailWorker(const MailWorker&) = delete;
    MailWorker& operator=(const MailWorker&) = delete;

    // Appends accounts (before the worker starts, or from a job).
    void AddAccounts(std::vector<AccountConfig> accounts);
    [[nodiscard]] size_t AccountCount() const { return accounts_.size(); }
    [[nodiscard]] const AccountConfig& Account(size_t account) const { return accounts_[account]; }
    [[nodiscard]] SessionTraffic Traffic(size_t account) const;

    // Makes the account's session signed in and usable (a fresh access
    // token first for Google accounts).
    [[nodiscard]] bool EnsureConnected(size_t account, std::string& error);
    // EnsureConnected, then the session has `mailbox` selected.
    [[nodiscard]] bool SelectMailbox(size_t account, const std::string& mailbox, std::string& error);

    // The list generation now: a load meant for whatever view is up when it
    // runs takes this one.
    [[nodiscard]] uint32_t CurrentLoadGeneration() const;

    void PostStatus(std::u16string text);
    void PostError(std::u16string text);

    // After the worker has ended.
    void SignOutAll();

    // --- jobs -------------------------------------------------------------
    // The folder list, then the unread count of every folder.
    void WFolderList(size_t account);
    // Unread counts from the folder at `firstFolder` on; gives way to
    // interactive work and resumes afterwards.
    void WUnreadCounts(size_t account, size_t firstFolder);
    void WHeaderLoad(const HeaderLoad& load);
    void WBodyLoad(uint32_t account, const std::string& mailbox, uint32_t uid, SeenOnFetch seen);
    void WConversationLoad(ConversationLoad load);
    // Silent: the next load shows the server's state.
    void WStoreSeen(const std::vector<MessageRef>& messages, bool seen);
    void WMarkFolderSeen(uint32_t account, const std::string& mailbox);
    void WDelete(const MessageRef& message);
    void WMove(const MessageRef& message, const std::string& destination);
    void WSend(SendRequestRecord& request);
    void WSearch(uint32_t generation, std::string query, size_t account, size_t folderIndex, size_t hitCount);
    // The account was edited: the old session goes, the new record's folder
    // list comes.
    void WAccountEdited(size_t account, AccountConfig record);

private:
    [[nodiscard]] bool RefreshGoogleToken(AccountConfig& account, size_t index, std::string& error);
    [[nodiscard]] bool SelectCounting(size_t account, const std::string& mailbox, uint32_t& count,
                                      std::string& error);
    void Post(std::unique_ptr<ResultRecord> record);
    void PostUnreadCount(size_t account, const std::string& mailbox, uint32_t count);

    WorkerLanes& lanes_;
    SignInOptions signIn_;
    WorkerGenerations generations_;
    UiPort* ui_ = nullptr;

    // Per account. Deques keep their elements in place when they grow at
    // the end, so an account added between two jobs moves no session.
    std::deque<ImapSession> sessions_;
    std::deque<AccountConfig> accounts_;
    std::deque<std::string> selectedMailbox_;
    std::deque<std::string> sentFolder_;
    std::deque<std::string> trashFolder_;
    std::deque<std::vector<FolderInfo>> folderLists_;
    std::deque<SessionTraffic> traffic_;
};

} // namespace postern
