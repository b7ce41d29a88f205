#include "app/PosternApp.h"

#include "compose/ContactStore.h"
#include "platform/Charset.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <future>
#include <utility>

namespace postern {

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
    std::string ignored;
    return ReadSettings(ignored) == SettingsLoad::loaded;
}

SettingsLoad PosternApp::ReadSettings(std::string& error)
{
    const SettingsLoad result = LoadSettingsFile(settingsPath_, settings_, error);
    settingsLoaded_ = result == SettingsLoad::loaded;
    return result;
}

void PosternApp::AttachUi(UiPort& ui)
{
    ui_ = &ui;
    accountSetup_ = std::make_unique<AccountSetupTasks>(ui, options_.detection, options_.signIn);
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

    GrowAccountState(accounts);
    accountsStarted_ = accounts;
    SyncLockedRailItem();
}

void PosternApp::GrowAccountState(size_t count)
{
    rail_.GrowAccounts(count);
    caches_.GrowAccounts(count);
    while (idleWatchers_.size() < count)
        idleWatchers_.emplace_back();
    list_.accountCount = static_cast<uint32_t>(count);
}

void PosternApp::WindowPlaced()
{
    placementReady_ = true;
}

bool PosternApp::StartWorker(std::string& error)
{
    // A job that dies of an exception still shows up as a failed job.
    lanes_.SetFailureHandler([ui = ui_](std::string_view what) {
        auto record = std::make_unique<ErrorTextRecord>();
        record->text = u"Background job failed: " + Utf8ToUtf16(what);
        if (ui)
            ui->Post(std::move(record));
    });
    // The worker's state is filled here and handed over; from now on only
    // jobs reach it.
    auto worker = std::make_unique<MailWorker>(lanes_, options_.signIn,
                                               WorkerGenerations{&loadGeneration_, &searchGenerationShared_}, ui_);
    GrowAccountState(settings_.accounts.size());
    accountsStarted_ = settings_.accounts.size();
    worker->AddAccounts(settings_.accounts);
    workerStarted_ = lanes_.Start(std::move(worker), error);
    return workerStarted_;
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
    accountSetup_.reset(); // cancels what a dialog left running
    // The running job completes, queued jobs are dropped, sessions sign out.
    lanes_.Stop();
    std::string ignored; // nothing to tell the user any more
    (void)SaveContacts(DataFile("contacts.json"), ignored);
    // Only a file that was understood is written back: one that could not
    // be read must not be replaced by defaults.
    if (settingsLoaded_)
        SaveSettingsFile();
}

SessionTraffic PosternApp::Traffic(size_t account)
{
    if (!workerStarted_)
        return {};
    // Read between two jobs on the worker, which owns the sessions; a job
    // dropped because the worker stopped leaves the answer empty.
    auto answer = std::make_shared<std::promise<SessionTraffic>>();
    std::future<SessionTraffic> traffic = answer->get_future();
    lanes_.Priority([answer, account](MailWorker& worker) { answer->set_value(worker.Traffic(account)); });
    answer.reset();
    traffic.wait();
    try {
        return traffic.get();
    } catch (const std::future_error&) {
        return {};
    }
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
    // Before the worker starts there is nothing to tell: it starts with
    // every account of the settings.
    if (!workerStarted_ || count <= known)
        return;
    GrowAccountState(count);
    accountsStarted_ = count;

    // The worker's lists grow on the worker, between two jobs, so no job
    // ever sees them change. The priority lane runs this before any job that
    // is queued for the new accounts from now on.
    std::vector<AccountConfig> added(settings_.accounts.begin() + static_cast<std::ptrdiff_t>(known),
                                     settings_.accounts.end());
    lanes_.Priority([added = std::move(added)](MailWorker& worker) mutable { worker.AddAccounts(std::move(added)); });
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
