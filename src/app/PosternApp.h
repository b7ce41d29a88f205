// PosternApp: the one application object. It holds the settings, the job
// worker, the per-account state, the rail, the message list and the reading
// pane's message, and handles what the window reports (clicks that reach it
// as calls, placement changes, timers, records from the worker and the
// watchers). The window itself belongs to the shell, which turns each window
// message into one call here and hears back only through the UiPort, so the
// whole engine runs and is tested without a window.
//
// Threads: everything here is for the UI thread, except the members marked
// "worker" (only jobs touch them once the worker runs) and the Post* calls.
#pragma once

#include "account/GoogleSignIn.h"
#include "account/Settings.h"
#include "app/IdleWatcher.h"
#include "app/JobQueue.h"
#include "app/LockList.h"
#include "app/Placement.h"
#include "app/ResultRecords.h"
#include "app/UiPort.h"
#include "mail/FolderInfo.h"
#include "mail/ImapSession.h"
#include "mail/MessageHeader.h"
#include "mail/MimeParser.h"
#include "ui/ListModel.h"
#include "ui/ListState.h"
#include "ui/RailItem.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace postern {

// Timers of the main window: the id, and how often they fire.
inline constexpr unsigned kRefreshTimer = 1;
inline constexpr unsigned kRefreshTimerMs = 300000;
inline constexpr unsigned kAutoSelectTimer = 3;
inline constexpr unsigned kAutoSelectTimerMs = 3000;
inline constexpr unsigned kRemovalTimer = 4;
inline constexpr unsigned kRemovalTimerMs = 15;
inline constexpr unsigned kFolderHoverTimer = 5;
inline constexpr unsigned kFolderHoverTimerMs = 180;
inline constexpr unsigned kRowHoverTimer = 6;
inline constexpr unsigned kRowHoverTimerMs = 110;

inline constexpr float kRowHeight = 56.0f;

// How the window's size changed (the kinds of WM_SIZE).
enum class SizeChange { restored, minimized, maximized, other };

// What the engine needs besides the settings file; tests point the Google
// sign-in at loopback and leave the watchers out where they only add noise.
struct EngineOptions {
    SignInOptions signIn;
    bool startWatchers = true;
};

// Rows shifted down while deleted or moved rows close their gap.
struct RemovalAnimation {
    bool running = false;
    int32_t firstIndex = 0;
    uint64_t startMs = 0;
    float offset = 0.0f;
};

// The worker's use of one account's session, for `postern-cli check` and the
// command-count benchmark.
struct SessionTraffic {
    uint32_t commands = 0;
    uint32_t roundTrips = 0;
    uint32_t connects = 0;
};

class PosternApp {
public:
    PosternApp(); // the settings file in the user's data folder
    explicit PosternApp(std::filesystem::path settingsPath, EngineOptions options = {});
    ~PosternApp(); // Shutdown()
    PosternApp(const PosternApp&) = delete;
    PosternApp& operator=(const PosternApp&) = delete;

    // --- start-up, in this order ------------------------------------------
    // Reads the settings file. False when it holds no usable account: there
    // is nothing to show then, and the file is left untouched.
    [[nodiscard]] bool LoadSettings();
    // The window the records go to; it must outlive Shutdown().
    void AttachUi(UiPort& ui);
    // The message to select again, the pane widths, the lock list and the
    // per-account state.
    void PrepareState();
    // Call once the window stands where it will open. Placement changes are
    // remembered from then on only: the moves and sizes that creating and
    // placing the window cause would otherwise overwrite the saved placement
    // before it was used.
    void WindowPlaced();
    // Starts the job worker.
    [[nodiscard]] bool StartWorker(std::string& error);
    // Queues every account's folder list and starts its new-mail watcher.
    void StartAccounts();
    // Everything after LoadSettings at once, for the engine without a window
    // (postern-cli check, tests, benchmarks).
    [[nodiscard]] bool StartWithoutWindow(UiPort& ui, std::string& error);
    // Stops the watchers, joins the worker (a running job completes, queued
    // jobs are dropped), then saves contacts and settings and signs every
    // session out. Safe to call twice.
    void Shutdown();

    // --- accounts (after the account dialog) ------------------------------
    // The dialog saved changes to account `account` in Settings(): its
    // session and watcher start over with the new record.
    void AccountEdited(size_t account);
    // Removes the account from the settings file, renumbering what refers to
    // accounts by position (locks, the last selection). The program restarts
    // afterwards; false (with the reason) when the file could not be saved,
    // and then nothing changed on disk.
    [[nodiscard]] bool RemoveAccount(size_t account, std::string& error);

    // --- window events (UI thread) ----------------------------------------
    void SetScale(float scale) { scale_ = scale; }
    // The placement is empty when the window system could not say what it
    // is; nothing is saved then.
    void OnMove(const std::optional<WindowPlacementState>& placement);
    void OnSize(SizeChange change, const std::optional<WindowPlacementState>& placement);
    void OnEnterSizeMove();
    void OnExitSizeMove(const std::optional<WindowPlacementState>& placement);
    // True when the timer is to be killed now.
    [[nodiscard]] bool OnTimer(unsigned timerId);
    // A record from the worker, a watcher or the UI thread itself; it is
    // freed when this returns.
    void HandleRecord(std::unique_ptr<ResultRecord> record);
    void SetHoverFolder(int32_t item) { hoverFolder_ = item; }
    void SetHoverRow(int32_t row) { hoverRow_ = row; }

    // --- synchronisation --------------------------------------------------
    void SelectFolder(int32_t item, bool background);
    void RefreshCurrent(bool background);
    void SelectRow(int32_t row, bool keepSelection);

    // --- actions ------------------------------------------------------------
    void MarkRead(int32_t row, bool read);
    void MarkFolderRead(int32_t item);
    void DeleteSelected();
    void MoveSelectionToFolder(int32_t item);
    void ToggleLock(int32_t row);
    [[nodiscard]] bool IsLocked(int32_t row) const;
    void CopySender(int32_t row);
    void CopySubject(int32_t row);
    // The name the save dialog offers for attachment `index` of the shown
    // message (made safe for a file system); empty when there is none.
    [[nodiscard]] std::u16string AttachmentFileName(size_t index) const;
    // Writes the attachment where the user chose and says so in the status.
    void SaveAttachmentTo(size_t index, const std::filesystem::path& path);

    // Grouping into conversations on or off; the shown message stays.
    void SetConversationMode(bool on);

    // --- search -------------------------------------------------------------
    void FilterChanged(std::u16string_view text);
    void StartGlobalSearch();

    // --- state ------------------------------------------------------------
    [[nodiscard]] const AppSettings& Settings() const { return settings_; }
    // For the account dialog, which appends an account and saves before it
    // sends AccountAddedRecord.
    [[nodiscard]] AppSettings& Settings() { return settings_; }
    [[nodiscard]] const std::filesystem::path& SettingsFile() const { return settingsPath_; }
    [[nodiscard]] JobQueue& Jobs() { return jobs_; }
    [[nodiscard]] float Scale() const { return scale_; }
    [[nodiscard]] float RailWidth() const { return railWidth_; }
    [[nodiscard]] float ListWidth() const { return listWidth_; }
    [[nodiscard]] const std::u16string& StatusText() const { return list_.statusText; }
    [[nodiscard]] bool InSizeMove() const { return inSizeMove_; }
    [[nodiscard]] bool AutoSelectDone() const { return autoSelectDone_; }
    [[nodiscard]] int ReopenAccount() const { return reopenAccount_; }
    [[nodiscard]] const std::string& ReopenFolder() const { return reopenFolder_; }
    [[nodiscard]] uint32_t ReopenUid() const { return reopenUid_; }
    [[nodiscard]] size_t AccountCount() const { return inboxUnread_.size(); }
    [[nodiscard]] const std::vector<RailItem>& RailItems() const { return railItems_; }
    [[nodiscard]] int32_t CurrentFolder() const { return currentFolder_; }
    [[nodiscard]] const ListState& List() const { return list_; }
    [[nodiscard]] bool LockedViewShown() const { return lockedViewShown_; }
    [[nodiscard]] const LockList& Locks() const { return lockList_; }
    [[nodiscard]] const ParsedMessage& ShownMessage() const { return shownMessage_; }
    [[nodiscard]] bool ShownReady() const { return shownReady_; }
    [[nodiscard]] uint32_t ShownUid() const { return shownUid_; }
    [[nodiscard]] int32_t ShownAccount() const { return shownAccount_; }
    [[nodiscard]] const std::string& ShownMailbox() const { return shownMailbox_; }
    [[nodiscard]] const RemovalAnimation& Removal() const { return removal_; }
    // The unread badge of a rail item: an inbox's or folder's count, the sum
    // of the inboxes for "All Inboxes", 0 for headers and "Locked".
    [[nodiscard]] uint32_t UnreadOf(const RailItem& item) const;
    [[nodiscard]] uint32_t UnreadTotal() const;
    [[nodiscard]] const std::string& InboxName(size_t account) const { return inboxName_[account]; }
    [[nodiscard]] uint32_t LoadGeneration() const { return loadGeneration_.load(); }
    [[nodiscard]] size_t BodyCacheSize() const { return bodyCacheOrder_.size(); }
    [[nodiscard]] bool BodyCached(uint32_t account, std::string_view mailbox, uint32_t uid) const;

    // --- worker side --------------------------------------------------------
    void PostStatus(std::u16string text);
    void PostError(std::u16string text);
    // Makes the account's session signed in and usable.
    [[nodiscard]] bool EnsureConnected(size_t account, std::string& error);
    // EnsureConnected, then the session has `mailbox` selected (one SELECT
    // for consecutive jobs in the same mailbox).
    [[nodiscard]] bool SelectMailbox(size_t account, const std::string& mailbox, std::string& error);
    // Worker: the worker's copy of the account records.
    [[nodiscard]] size_t WorkerAccountCount() const { return workerAccounts_.size(); }
    [[nodiscard]] const AccountConfig& WorkerAccount(size_t account) const { return workerAccounts_[account]; }
    // Worker: what the account's session has cost so far.
    [[nodiscard]] SessionTraffic Traffic(size_t account) const;

private:
    struct FolderCacheEntry {
        uint32_t count = 0;
        std::vector<MessageHeader> headers;
        uint64_t loadedAtMs = 0;
    };
    // One message a delete, move or change of its seen flag acts on.
    struct MessageRef {
        uint32_t account = 0;
        std::string mailbox;
        uint32_t uid = 0;
        bool wasUnread = false;
    };

    // lifecycle (PosternApp.cpp)
    void SaveWindowPlacement(const std::optional<WindowPlacementState>& placement);
    void SaveSettingsFile();
    void AddNewAccounts();
    void ShowStatus(std::u16string text);
    void GrowAccountState(size_t count); // UI thread
    void GrowWorkerState(size_t count);  // before the worker starts, or on it
    std::filesystem::path DataFile(const char* name) const;

    // worker sessions (WorkerSessions.cpp)
    [[nodiscard]] bool RefreshGoogleToken(AccountConfig& account, size_t index, std::string& error);
    [[nodiscard]] bool SelectCounting(size_t account, const std::string& mailbox, uint32_t& count,
                                      std::string& error);

    // folders and lists (FolderSync.cpp)
    void QueueFolderList(size_t account);
    void RunFolderListJob(size_t account);
    void RunUnreadCountsJob(size_t account, size_t firstFolder);
    void RunHeaderLoad(size_t account, const std::string& mailbox, bool keepView, uint32_t generation, bool prefetch);
    void QueueHeaderLoad(size_t account, const std::string& mailbox, bool keepView, bool priority);
    void QueueInboxRefresh(size_t account);
    void QueueUnreadCountsForAll();
    void ApplyFolders(FoldersResult& result);
    void OnHeaders(HeadersResult& result);
    void OnUnreadCount(const UnreadCount& result);
    void RebuildUnified(bool keepView);
    // Empties the reading pane or opens the remembered row, as the new rows ask.
    void AfterRowsApplied(const RowsApplied& applied);
    void StartLoadingState(const RailItem& item);
    void ForgetShownRowsOf(size_t account);
    void ShiftRailIndices(int32_t from, int32_t delta);
    [[nodiscard]] bool IsInboxOf(size_t account, std::string_view mailbox) const;
    [[nodiscard]] bool UnifiedShown() const;
    [[nodiscard]] const RailItem* CurrentItem() const;
    [[nodiscard]] ReopenRequest PendingReopen() const;
    [[nodiscard]] uint64_t NowMs() const;

    // reading pane (MessageOpening.cpp)
    void OnBody(BodyResult& result);
    void OnConversation(ConversationResult& result);
    void ShowCurrentPage(std::u16string page);
    void EmptyReadingPane();
    void RunBodyLoad(uint32_t account, const std::string& mailbox, uint32_t uid, bool markSeen);
    void PrefetchHoveredFolder();
    void PrefetchHoveredRow();

    // actions (MessageActions.cpp)
    // Marks the opened row's unread messages seen here and returns them for
    // the server.
    [[nodiscard]] std::vector<MessageRef> MarkSeenOnOpen(int32_t row);
    void AdjustUnread(uint32_t account, const std::string& mailbox, int32_t delta);
    // Whether the row is that message (account, mailbox and UID).
    [[nodiscard]] bool IsRowMessage(const MessageRow& row, uint32_t account, const std::string& mailbox,
                                    uint32_t uid) const;
    void SetSeenOn(std::vector<MessageRow>& rows, const MessageRef& message, bool seen) const;
    void SetSeenEverywhere(const MessageRef& message, bool seen);
    void RemoveMessage(const MessageRef& ref);
    [[nodiscard]] std::vector<int32_t> ActedRows() const;
    [[nodiscard]] std::string MailboxOfRow(const MessageRow& row) const;
    void RemoveRowsFromView(const std::vector<int32_t>& rows);
    void ShowLockedView();
    void SyncLockedRailItem();
    void SaveLocks();
    void StartRemoval(int32_t firstIndex, size_t count);
    void StepRemoval();
    void QueueSend(SendRequestRecord& request);
    void RunSendJob(SendRequestRecord& request);

    // watching (Watching.cpp)
    void StartWatcher(size_t account);
    void StopWatchers();
    void OnIdleActivity(int32_t account);
    void UpdateTray();

    // search (GlobalSearch.cpp)
    void WSearch(uint32_t generation, std::string query, size_t account, size_t folderIndex, size_t hitCount);
    void OnSearchBatch(SearchBatch& batch);

    std::filesystem::path settingsPath_;
    EngineOptions options_;
    UiPort* ui_ = nullptr;
    float scale_ = 1.0f;
    AppSettings settings_;
    bool settingsLoaded_ = false;
    JobQueue jobs_;

    // Worker. Filled before the worker starts; afterwards only jobs change
    // them, so a new account is appended by a job, and the lists may grow
    // while other jobs run without any element moving under them (deques
    // keep their elements in place when they grow at the end).
    std::deque<ImapSession> sessions_;
    std::deque<AccountConfig> workerAccounts_;
    std::deque<std::string> selectedMailbox_;
    std::deque<std::string> sentFolder_;
    std::deque<std::string> trashFolder_;
    std::deque<std::vector<FolderInfo>> folderLists_;
    std::deque<SessionTraffic> traffic_;

    // UI thread.
    std::vector<RailItem> railItems_;
    int32_t currentFolder_ = -1;
    int32_t hoverFolder_ = -1;
    int32_t hoverRow_ = -1;
    ListState list_;
    std::atomic<uint32_t> loadGeneration_{0};
    RemovalAnimation removal_;
    ParsedMessage shownMessage_;
    uint32_t shownUid_ = 0;
    int32_t shownAccount_ = -1;
    // UIDs repeat across folders: a late body matches the shown row only
    // with the mailbox as well.
    std::string shownMailbox_;
    bool shownReady_ = false;
    std::map<std::string, ParsedMessage> bodyCache_;
    std::deque<std::string> bodyCacheOrder_;
    std::map<std::string, FolderCacheEntry> folderCache_;
    std::vector<uint32_t> inboxUnread_;
    std::map<std::string, uint32_t> folderUnread_;
    std::vector<std::string> inboxName_;
    std::vector<std::vector<MessageHeader>> inboxHeaders_;
    std::vector<uint64_t> inboxLoadedAt_;
    std::vector<std::u16string> accountLabels_;
    LockList lockList_;
    bool lockedViewShown_ = false;
    int32_t trayShownTotal_ = -1;
    std::vector<std::unique_ptr<IdleWatcher>> idleWatchers_;
    // Accounts the worker has been given; the per-account lists above may
    // grow sooner (a folder list arriving for any account grows them).
    size_t accountsStarted_ = 0;
    uint32_t searchGeneration_ = 0;
    std::atomic<uint32_t> searchGenerationShared_{0};
    bool searchDone_ = false;
    std::vector<SearchHit> searchHits_;

    float railWidth_ = kDefaultRailWidth;
    float listWidth_ = kDefaultListWidth;
    bool inSizeMove_ = false;
    bool placementReady_ = false;
    bool autoSelectDone_ = false;
    int reopenAccount_ = -1;
    std::string reopenFolder_;
    uint32_t reopenUid_ = 0;
    bool shutDown_ = false;
};

// Keys of the caches and unread counts: "account|mailbox" and
// "account|mailbox|uid".
[[nodiscard]] std::string FolderKey(uint32_t account, std::string_view mailbox);
[[nodiscard]] std::string BodyKey(uint32_t account, std::string_view mailbox, uint32_t uid);

} // namespace postern
