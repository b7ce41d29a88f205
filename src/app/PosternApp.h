// PosternApp: the one application object. It holds the settings, the job
// worker, the per-account state, the rail, the message list and the reading
// pane's message, and handles what the window reports (clicks that reach it
// as calls, placement changes, timers, records from the worker and the
// watchers). The window itself belongs to the shell, which turns each window
// message into one call here and hears back only through the UiPort, so the
// whole engine runs and is tested without a window.
//
// Threads: PosternApp lives on the UI thread. What the worker owns (the
// sessions and the worker's account records) is a MailWorker that only jobs
// reach, through WorkerLanes; the rail and the caches are the UI thread's
// RailModel and MailCaches.
#pragma once

#include "account/AccountForm.h"
#include "account/Autodetect.h"
#include "account/GoogleSignIn.h"
#include "account/Settings.h"
#include "app/AccountSetupTasks.h"
#include "app/IdleWatcher.h"
#include "app/LockList.h"
#include "app/MailCaches.h"
#include "app/MailWorker.h"
#include "app/Placement.h"
#include "app/PointerInput.h"
#include "app/RailModel.h"
#include "app/ResultRecords.h"
#include "app/UiPort.h"
#include "app/WorkerLanes.h"
#include "mail/MessageHeader.h"
#include "mail/MimeParser.h"
#include "ui/ListModel.h"
#include "ui/ListState.h"
#include "ui/MainScene.h"
#include "ui/RailItem.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
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

// How the window's size changed (the kinds of WM_SIZE).
enum class SizeChange { restored, minimized, maximized, other };

// What the engine needs besides the settings file; tests point the Google
// sign-in at loopback and leave the watchers out where they only add noise.
struct EngineOptions {
    SignInOptions signIn;
    AutodetectSeams detection;
    GoogleMailServers googleMail; // for accounts made by a Google sign-in
    bool startWatchers = true;
};

// Rows shifted down while deleted or moved rows close their gap.
struct RemovalAnimation {
    bool running = false;
    int32_t firstIndex = 0;
    size_t removedRows = 0;
    uint64_t startMs = 0;
    float offset = 0.0f; // units
};

// Where a load goes: the priority lane (the user clicked) or the normal one.
enum class Lane { priority, normal };

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
    // The same, saying why there is nothing to show (a first start, a file
    // that cannot be read, a damaged one), with `error` for the latter two.
    [[nodiscard]] SettingsLoad ReadSettings(std::string& error);
    // The first-run account dialog saved Settings() with an account.
    void FirstAccountSaved() { settingsLoaded_ = !settings_.accounts.empty(); }
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
    // afterwards; false (with the reason) when the file could not be saved
    // or a message is still being sent, and then nothing changed on disk.
    [[nodiscard]] bool RemoveAccount(size_t account, std::string& error);

    // Detection and sign-in for the account dialog, off the UI thread (after
    // AttachUi).
    [[nodiscard]] AccountSetupTasks& AccountSetup() { return *accountSetup_; }

    // --- window events (UI thread) ----------------------------------------
    void SetScale(float scale);
    // The client area's size in pixels, after every WM_SIZE.
    void SetClientSize(float width, float height);
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

    // --- pointer and keyboard (PosternAppPointer.cpp) ---------------------
    // Client pixels. The window gives itself the keyboard focus before a
    // press and does what the reply asks (capture, cursor, a command of its
    // own, the save dialog).
    [[nodiscard]] PointerReply OnButtonDown(float x, float y, ClickModifiers modifiers);
    [[nodiscard]] PointerReply OnButtonUp();
    // `leftDown`: whether the left button is still held; a release outside
    // the window may never be reported.
    [[nodiscard]] PointerReply OnMouseMove(float x, float y, bool leftDown);
    void OnDoubleClick(float x, float y, const MeasureLabel& measure);
    void OnRightButtonDown(float x, float y);
    // A wheel turn of `delta` (120 a notch) with the pointer at client x, y.
    void OnWheel(float x, float y, float delta);
    void OnMouseLeave();
    [[nodiscard]] PointerCursor CursorAt(float x, float y) const;
    // The press going on ends without effect: the window lost the capture,
    // or Esc was pressed. True when there was one (the window releases the
    // capture then).
    bool CancelPress();
    [[nodiscard]] const PointerPress& Press() const { return press_; }
    void OnListKey(ListKey key);
    [[nodiscard]] int32_t HoverRow() const { return hoverRow_; }
    [[nodiscard]] int32_t HoverButton() const { return hoverButton_; }

    // --- commands (PosternAppCommands.cpp) --------------------------------
    // Runs a command the engine carries out itself; false for the ones that
    // are the window's (dialogs, compose windows, exit) or unknown.
    bool RunCommand(int id);
    // The menu a right click at client x, y opens; the keyboard's menu key
    // opens the row menu at the current row.
    [[nodiscard]] ContextMenuRequest ContextMenuAt(float x, float y) const;
    [[nodiscard]] ContextMenuRequest KeyboardContextMenu() const;
    // A command chosen from that menu, on the folder or row it was opened
    // on, wherever that is now; nothing when it is gone.
    void RunContextCommand(const ContextMenuRequest& menu, int id);

    // --- painting (PosternAppPaint.cpp) ---------------------------------
    // The geometry the panes are laid out with now.
    [[nodiscard]] WindowMetrics Metrics() const;
    // The frame to paint. The toolbar buttons, attachment chips and rail
    // lines it places are kept as the pointer handlers' hit areas.
    [[nodiscard]] MainScene BuildScene(bool filterFocused);
    [[nodiscard]] float ListScroll() const { return listScroll_; }
    [[nodiscard]] float RailScroll() const { return railScroll_; }
    [[nodiscard]] const std::vector<ToolbarButton>& PaintedButtons() const { return paintedButtons_; }
    [[nodiscard]] const std::vector<AttachmentChip>& PaintedChips() const { return paintedChips_; }
    // Where the reading pane's body goes: below the reading header while a
    // message is chosen (its page may still say "Loading…"), else nothing.
    [[nodiscard]] Rect BodyArea() const;

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
    [[nodiscard]] std::u16string AttachmentFileName(const AttachmentRef& attachment) const;
    // Writes the attachment where the user chose and says so in the status.
    void SaveAttachmentTo(const AttachmentRef& attachment, const std::filesystem::path& path);
    // Attachment `part` of the message in the reading pane.
    [[nodiscard]] AttachmentRef ShownAttachment(size_t part) const;

    // Grouping into conversations on or off; the shown message stays.
    void SetConversationMode(bool on);
    [[nodiscard]] bool ConversationMode() const { return list_.conversationMode; }

    // --- search -------------------------------------------------------------
    void FilterChanged(std::u16string_view text);
    void StartGlobalSearch();

    // The status line says this until the list has news.
    void ShowStatus(std::u16string text);

    // --- state ------------------------------------------------------------
    [[nodiscard]] const AppSettings& Settings() const { return settings_; }
    // For the account dialog, which appends an account and saves before it
    // sends AccountAddedRecord.
    [[nodiscard]] AppSettings& Settings() { return settings_; }
    [[nodiscard]] const std::filesystem::path& SettingsFile() const { return settingsPath_; }
    [[nodiscard]] const EngineOptions& Options() const { return options_; }
    // The worker's lanes: jobs get the MailWorker as their argument.
    [[nodiscard]] WorkerLanes& Lanes() { return lanes_; }
    [[nodiscard]] float Scale() const { return scale_; }
    [[nodiscard]] float RailWidth() const { return railWidth_; }
    [[nodiscard]] float ListWidth() const { return listWidth_; }
    [[nodiscard]] const std::u16string& StatusText() const { return list_.statusText; }
    [[nodiscard]] bool InSizeMove() const { return inSizeMove_; }
    [[nodiscard]] bool AutoSelectDone() const { return autoSelectDone_; }
    [[nodiscard]] int ReopenAccount() const { return reopenAccount_; }
    [[nodiscard]] const std::string& ReopenFolder() const { return reopenFolder_; }
    [[nodiscard]] uint32_t ReopenUid() const { return reopenUid_; }
    [[nodiscard]] size_t AccountCount() const { return rail_.AccountCount(); }
    [[nodiscard]] const RailModel& Rail() const { return rail_; }
    [[nodiscard]] const std::vector<RailItem>& RailItems() const { return rail_.Items(); }
    [[nodiscard]] int32_t CurrentFolder() const { return rail_.Current(); }
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
    [[nodiscard]] uint32_t UnreadOf(const RailItem& item) const { return rail_.UnreadOf(item); }
    [[nodiscard]] uint32_t UnreadTotal() const { return rail_.UnreadTotal(); }
    [[nodiscard]] const std::string& InboxName(size_t account) const { return rail_.InboxName(account); }
    [[nodiscard]] uint32_t LoadGeneration() const { return loadGeneration_.load(); }
    [[nodiscard]] size_t BodyCacheSize() const { return caches_.BodyCount(); }
    [[nodiscard]] bool BodyCached(uint32_t account, std::string_view mailbox, uint32_t uid) const
    {
        return caches_.FindBody(account, mailbox, uid) != nullptr;
    }
    // What the account's session has cost so far. Asks the worker and waits
    // for its answer (between two jobs); zero once the worker has stopped.
    [[nodiscard]] SessionTraffic Traffic(size_t account);

private:
    // lifecycle (PosternApp.cpp)
    void SaveWindowPlacement(const std::optional<WindowPlacementState>& placement);
    void SaveSettingsFile();
    void AddNewAccounts();
    void GrowAccountState(size_t count);
    std::filesystem::path DataFile(const char* name) const;
    [[nodiscard]] uint64_t NowMs() const;

    // folders and lists (PosternAppFolders.cpp)
    void QueueFolderList(size_t account);
    void QueueUnreadCounts(size_t account);
    void QueueHeaderLoad(size_t account, const std::string& mailbox, bool keepView, Lane lane);
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
    void SyncLockedRailItem();
    [[nodiscard]] ReopenRequest PendingReopen() const;

    // reading pane (PosternAppReading.cpp)
    void OnBody(BodyResult& result);
    void OnConversation(ConversationResult& result);
    void ShowCurrentPage(std::u16string page);
    void EmptyReadingPane();
    void PrefetchHoveredFolder();
    void PrefetchHoveredRow();
    [[nodiscard]] std::string MailboxOfRow(const MessageRow& row) const;

    // actions (PosternAppActions.cpp)
    // Marks the opened row's unread messages seen here and returns them for
    // the server.
    [[nodiscard]] std::vector<MessageRef> MarkSeenOnOpen(int32_t row);
    // Whether the row is that message (account, mailbox and UID).
    [[nodiscard]] bool IsRowMessage(const MessageRow& row, uint32_t account, const std::string& mailbox,
                                    uint32_t uid) const;
    void SetSeenOn(std::vector<MessageRow>& rows, const MessageRef& message, bool seen) const;
    void SetSeenEverywhere(const MessageRef& message, bool seen);
    void RemoveMessage(const MessageRef& ref);
    [[nodiscard]] std::vector<int32_t> ActedRows() const;
    void RemoveRowsFromView(const std::vector<int32_t>& rows);
    void ShowLockedView();
    void SaveLocks();
    void StartRemoval(int32_t firstIndex, size_t count);
    void StepRemoval();
    // The attachment's message, wherever it still is: the reading pane or
    // the body cache.
    [[nodiscard]] const ParsedMessage* AttachmentMessage(const AttachmentRef& attachment) const;

    // accounts, watchers and sending (PosternAppAccounts.cpp)
    void QueueSend(SendRequestRecord& request);
    void StartWatcher(size_t account);
    void StopWatchers();
    void OnIdleActivity(int32_t account);
    void UpdateTray();

    // search (PosternAppSearch.cpp)
    void OnSearchBatch(SearchBatch& batch);

    // painting (PosternAppPaint.cpp)
    // Keeps both scroll offsets within what the panes can show.
    void ClampScroll();

    // pointer (PosternAppPointer.cpp)
    void PressRow(float x, float y, int32_t row, ClickModifiers modifiers, PointerReply& reply);
    void PressRail(float x, float y, PointerReply& reply);
    void DragTo(float x, float y, PointerReply& reply);
    void Hover(float x, float y);
    void SavePaneWidths();

    std::filesystem::path settingsPath_;
    EngineOptions options_;
    UiPort* ui_ = nullptr;
    float scale_ = 1.0f;
    AppSettings settings_;
    bool settingsLoaded_ = false;

    // The worker's state is made when the worker starts; from then on only
    // jobs reach it, through the lanes.
    WorkerLanes lanes_;
    bool workerStarted_ = false;
    std::atomic<uint32_t> loadGeneration_{0};
    std::atomic<uint32_t> searchGenerationShared_{0};

    RailModel rail_;
    MailCaches caches_;
    int32_t hoverRow_ = -1;
    ListState list_;
    RemovalAnimation removal_;
    ParsedMessage shownMessage_;
    uint32_t shownUid_ = 0;
    int32_t shownAccount_ = -1;
    // UIDs repeat across folders: a late body matches the shown row only
    // with the mailbox as well.
    std::string shownMailbox_;
    bool shownReady_ = false;
    LockList lockList_;
    bool lockedViewShown_ = false;
    int32_t trayShownTotal_ = -1;
    std::vector<std::unique_ptr<IdleWatcher>> idleWatchers_;
    std::unique_ptr<AccountSetupTasks> accountSetup_;
    // Accounts the worker has been given; the per-account lists above may
    // grow sooner (a folder list arriving for any account grows them).
    size_t accountsStarted_ = 0;
    uint32_t searchGeneration_ = 0;
    // Sends queued or running; the worker's jobs count themselves out.
    std::shared_ptr<std::atomic<int>> sendsUnderWay_ = std::make_shared<std::atomic<int>>(0);
    bool searchDone_ = false;
    std::vector<SearchHit> searchHits_;

    float clientWidth_ = 0;
    float clientHeight_ = 0;
    float listScroll_ = 0; // pixels
    float railScroll_ = 0; // pixels
    int32_t hoverButton_ = -1;
    PointerPress press_;
    std::vector<ToolbarButton> paintedButtons_;
    std::vector<AttachmentChip> paintedChips_;

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

} // namespace postern
