#include "app/PosternApp.h"

#include "platform/Charset.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace postern {

namespace {

// The per-account lists never shrink while the program runs (removing an
// account restarts it), so growing them to the account count is all there is.
template <typename T>
void GrowTo(std::vector<T>& list, size_t count)
{
    if (list.size() < count)
        list.resize(count);
}

} // namespace

PosternApp::PosternApp() : PosternApp(SettingsPath()) {}

PosternApp::PosternApp(std::filesystem::path settingsPath) : settingsPath_(std::move(settingsPath)) {}

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

    // The worker has not started yet, so its lists are still ours to fill.
    workerAccounts_ = settings_.accounts;
    GrowTo(selectedMailbox_, accounts);
    GrowTo(sentFolder_, accounts);
    GrowTo(trashFolder_, accounts);
    GrowTo(folderLists_, accounts);
    GrowTo(inboxUnread_, accounts);
    GrowTo(inboxName_, accounts);
    GrowTo(inboxHeaders_, accounts);
    GrowTo(inboxLoadedAt_, accounts);
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

void PosternApp::Shutdown()
{
    if (shutDown_)
        return;
    shutDown_ = true;
    jobs_.Stop();
    // Only a file that was understood is written back: one that could not
    // be read must not be replaced by defaults.
    if (settingsLoaded_)
        SaveSettingsFile();
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
    case kAutoSelectTimer:
        // Selecting the first row needs the message list; until there is one
        // the tick only records that the chance has passed.
        autoSelectDone_ = true;
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
        ShowStatus(u"\u26A0 " + RecordAs<ErrorTextRecord>(*record)->text);
        break;
    case RecordKind::RefreshToken: {
        auto& token = *RecordAs<RefreshTokenRecord>(*record);
        // The account may have been removed since the worker set out.
        if (token.account < 0 || static_cast<size_t>(token.account) >= settings_.accounts.size())
            break;
        settings_.accounts[static_cast<size_t>(token.account)].refreshToken = std::move(token.token);
        SaveSettingsFile();
        break;
    }
    case RecordKind::AccountAdded:
        AddNewAccounts();
        break;
    default:
        // Records whose handlers are not part of this program yet are freed
        // unread.
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
    const size_t known = inboxUnread_.size();
    if (count <= known)
        return;
    GrowTo(inboxUnread_, count);
    GrowTo(inboxName_, count);
    GrowTo(inboxHeaders_, count);
    GrowTo(inboxLoadedAt_, count);

    // The worker's lists grow on the worker, between two jobs, so no job
    // ever sees them move. The priority lane runs this before any job that
    // is queued for the new accounts from now on.
    std::vector<AccountConfig> added(settings_.accounts.begin() + static_cast<std::ptrdiff_t>(known),
                                     settings_.accounts.end());
    jobs_.EnqueuePriority([this, added = std::move(added), count]() mutable {
        for (AccountConfig& account : added)
            workerAccounts_.push_back(std::move(account));
        GrowTo(selectedMailbox_, count);
        GrowTo(sentFolder_, count);
        GrowTo(trashFolder_, count);
        GrowTo(folderLists_, count);
    });
}

void PosternApp::ShowStatus(std::u16string text)
{
    statusText_ = std::move(text);
    if (ui_)
        ui_->Repaint();
}

} // namespace postern
