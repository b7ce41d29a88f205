#include "app/PosternApp.h"

#include "compose/ContactStore.h"
#include "platform/Charset.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace postern {

namespace {

// The per-account lists never shrink while the program runs (removing an
// account restarts it), so growing them to the account count is all there is.
// Sessions can be neither copied nor moved, so the lists grow one new
// element at a time.
template <typename List>
void GrowTo(List& list, size_t count)
{
    while (list.size() < count)
        list.emplace_back();
}

} // namespace

std::string FolderKey(uint32_t account, std::string_view mailbox)
{
    std::string key = std::to_string(account);
    key += '|';
    key += mailbox;
    return key;
}

std::string BodyKey(uint32_t account, std::string_view mailbox, uint32_t uid)
{
    return FolderKey(account, mailbox) + '|' + std::to_string(uid);
}

PosternApp::PosternApp() : PosternApp(SettingsPath()) {}

PosternApp::PosternApp(std::filesystem::path settingsPath, EngineOptions options)
    : settingsPath_(std::move(settingsPath)), options_(std::move(options))
{
    list_.statusText = u"Starting\u2026";
    list_.conversationMode = true;
}

PosternApp::~PosternApp()
{
    Shutdown();
}

bool PosternApp::LoadSettings()
{
    settingsLoaded_ = LoadSettingsFrom(settingsPath_, settings_);
    return settingsLoaded_;
}

void PosternApp::AttachUi(UiPort& ui)
{
    ui_ = &ui;
}

std::filesystem::path PosternApp::DataFile(const char* name) const
{
    return settingsPath_.parent_path() / name;
}

void PosternApp::PrepareState()
{
    const size_t accounts = settings_.accounts.size();
    if (settings_.lastSelUid > 0 && settings_.lastSelUid <= UINT32_MAX && settings_.lastSelAccount >= 0
        && static_cast<size_t>(settings_.lastSelAccount) < accounts) {
        reopenAccount_ = settings_.lastSelAccount;
        reopenFolder_ = settings_.lastSelFolder;
        reopenUid_ = static_cast<uint32_t>(settings_.lastSelUid);
    }

    const PaneWidths panes = InitialPaneWidths(settings_);
    railWidth_ = panes.rail;
    listWidth_ = panes.list;

    std::string ignored; // a missing or unreadable file is an empty list
    (void)LoadContacts(DataFile("contacts.json"), ignored);
    (void)lockList_.Load(DataFile("locked.json"), ignored);

    // The worker has not started yet, so its lists are still ours to fill.
    workerAccounts_.assign(settings_.accounts.begin(), settings_.accounts.end());
    GrowWorkerState(accounts);
    GrowAccountState(accounts);
    accountsStarted_ = accounts;
    SyncLockedRailItem();
}

void PosternApp::GrowAccountState(size_t count)
{
    GrowTo(inboxUnread_, count);
    GrowTo(inboxName_, count);
    GrowTo(inboxHeaders_, count);
    GrowTo(inboxLoadedAt_, count);
    GrowTo(idleWatchers_, count);
    list_.accountCount = static_cast<uint32_t>(count);
}

void PosternApp::GrowWorkerState(size_t count)
{
    GrowTo(sessions_, count);
    GrowTo(selectedMailbox_, count);
    GrowTo(sentFolder_, count);
    GrowTo(trashFolder_, count);
    GrowTo(folderLists_, count);
    GrowTo(traffic_, count);
}

void PosternApp::WindowPlaced()
{
    placementReady_ = true;
}

bool PosternApp::StartWorker(std::string& error)
{
    // A job that dies of an exception still shows up as a failed job.
    jobs_.SetFailureHandler([this](std::string_view what) {
        PostError(u"Background job failed: " + Utf8ToUtf16(what));
    });
    return jobs_.Start(error);
}

void PosternApp::StartAccounts()
{
    for (size_t account = 0; account < settings_.accounts.size(); ++account) {
        QueueFolderList(account);
        if (options_.startWatchers)
            StartWatcher(account);
    }
}

bool PosternApp::StartWithoutWindow(UiPort& ui, std::string& error)
{
    AttachUi(ui);
    PrepareState();
    WindowPlaced();
    if (!StartWorker(error))
        return false;
    StartAccounts();
    return true;
}

void PosternApp::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    StopWatchers();
    jobs_.Stop();
    std::string ignored; // nothing to tell the user any more
    (void)SaveContacts(DataFile("contacts.json"), ignored);
    // Only a file that was understood is written back: one that could not
    // be read must not be replaced by defaults.
    if (settingsLoaded_)
        SaveSettingsFile();
    // The worker has ended, so its sessions are ours now.
    for (ImapSession& session : sessions_)
        if (session.IsConnected())
            session.Logout();
}

void PosternApp::OnMove(const std::optional<WindowPlacementState>& placement)
{
    if (!inSizeMove_)
        SaveWindowPlacement(placement);
}

void PosternApp::OnSize(SizeChange change, const std::optional<WindowPlacementState>& placement)
{
    if (!inSizeMove_ && (change == SizeChange::restored || change == SizeChange::maximized))
        SaveWindowPlacement(placement);
}

void PosternApp::OnEnterSizeMove()
{
    inSizeMove_ = true;
}

void PosternApp::OnExitSizeMove(const std::optional<WindowPlacementState>& placement)
{
    inSizeMove_ = false;
    SaveWindowPlacement(placement);
}

bool PosternApp::OnTimer(unsigned timerId)
{
    switch (timerId) {
    case kRefreshTimer: {
        RefreshCurrent(true);
        std::string ignored; // the next tick tries again
        (void)SaveContacts(DataFile("contacts.json"), ignored);
        return false;
    }
    case kAutoSelectTimer:
        if (!autoSelectDone_ && list_.currentRow < 0 && !list_.viewRows.empty())
            SelectRow(0, false);
        autoSelectDone_ = true;
        return true;
    case kRemovalTimer:
        StepRemoval();
        return !removal_.running;
    case kFolderHoverTimer:
        PrefetchHoveredFolder();
        return true;
    case kRowHoverTimer:
        PrefetchHoveredRow();
        return true;
    default:
        return false;
    }
}

void PosternApp::HandleRecord(std::unique_ptr<ResultRecord> record)
{
    if (!record)
        return;
    switch (record->kind) {
    case RecordKind::StatusText:
        ShowStatus(std::move(RecordAs<StatusTextRecord>(*record)->text));
        break;
    case RecordKind::ErrorText:
        list_.loading = false;
        ShowStatus(u"\u26A0 " + RecordAs<ErrorTextRecord>(*record)->text);
        break;
    case RecordKind::Folders:
        ApplyFolders(*RecordAs<FoldersResult>(*record));
        break;
    case RecordKind::Headers:
        OnHeaders(*RecordAs<HeadersResult>(*record));
        break;
    case RecordKind::Body:
        OnBody(*RecordAs<BodyResult>(*record));
        break;
    case RecordKind::Unread:
        OnUnreadCount(*RecordAs<UnreadCount>(*record));
        break;
    case RecordKind::RefreshToken: {
        auto& token = *RecordAs<RefreshTokenRecord>(*record);
        // The account may have been removed since the worker set out.
        if (token.account < 0 || static_cast<size_t>(token.account) >= settings_.accounts.size())
            break;
        const auto account = static_cast<size_t>(token.account);
        if (settings_.accounts[account].refreshToken == token.token)
            break;
        settings_.accounts[account].refreshToken = std::move(token.token);
        SaveSettingsFile();
        // The account's watcher set out with the token it had then (perhaps
        // none, after an interactive sign-in): it would retry in vain.
        if (options_.startWatchers)
            StartWatcher(account);
        break;
    }
    case RecordKind::SendRequest:
        QueueSend(*RecordAs<SendRequestRecord>(*record));
        break;
    case RecordKind::AccountAdded:
        AddNewAccounts();
        break;
    case RecordKind::SearchBatch:
        OnSearchBatch(*RecordAs<SearchBatch>(*record));
        break;
    case RecordKind::Conversation:
        OnConversation(*RecordAs<ConversationResult>(*record));
        break;
    case RecordKind::IdleActivity:
        OnIdleActivity(RecordAs<IdleActivityRecord>(*record)->account);
        break;
    case RecordKind::SendResult:
    case RecordKind::SignInResult:
    case RecordKind::DetectionResult:
        // Answers go to compose windows and dialogs, never to the main window.
        break;
    }
}

void PosternApp::PostStatus(std::u16string text)
{
    auto record = std::make_unique<StatusTextRecord>();
    record->text = std::move(text);
    if (ui_)
        ui_->Post(std::move(record));
}

void PosternApp::PostError(std::u16string text)
{
    auto record = std::make_unique<ErrorTextRecord>();
    record->text = std::move(text);
    if (ui_)
        ui_->Post(std::move(record));
}

void PosternApp::SaveWindowPlacement(const std::optional<WindowPlacementState>& placement)
{
    if (!placementReady_ || !placement)
        return;
    if (StoreWindowPlacement(*placement, PaneWidths{railWidth_, listWidth_}, settings_))
        SaveSettingsFile();
}

void PosternApp::SaveSettingsFile()
{
    std::string ignored; // nothing to tell the user; the next save tries again
    (void)SaveSettingsTo(settingsPath_, settings_, ignored);
}

void PosternApp::AddNewAccounts()
{
    const size_t count = settings_.accounts.size();
    const size_t known = accountsStarted_;
    if (count <= known)
        return;
    GrowAccountState(count);
    accountsStarted_ = count;

    // The worker's lists grow on the worker, between two jobs, so no job
    // ever sees them change. The priority lane runs this before any job that
    // is queued for the new accounts from now on.
    std::vector<AccountConfig> added(settings_.accounts.begin() + static_cast<std::ptrdiff_t>(known),
                                     settings_.accounts.end());
    jobs_.EnqueuePriority([this, added = std::move(added), count]() mutable {
        for (AccountConfig& account : added)
            workerAccounts_.push_back(std::move(account));
        GrowWorkerState(count);
    });
    for (size_t account = known; account < count; ++account) {
        QueueFolderList(account);
        if (options_.startWatchers)
            StartWatcher(account);
    }
}

void PosternApp::ShowStatus(std::u16string text)
{
    list_.statusText = std::move(text);
    if (ui_)
        ui_->Repaint();
}

uint64_t PosternApp::NowMs() const
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace postern
