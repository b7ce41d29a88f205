// PosternApp: the one application object. It holds the settings, the job
// worker and the per-account state, and handles what the window reports
// (placement changes, timers, records from the worker). The window itself
// belongs to the shell, which turns each window message into one call here
// and hears back only through the UiPort.
//
// Threads: everything here is for the UI thread, except the members marked
// "worker" (only jobs touch them once the worker runs) and the Post* calls.
#pragma once

#include "account/Settings.h"
#include "app/JobQueue.h"
#include "app/Placement.h"
#include "app/ResultRecords.h"
#include "app/UiPort.h"
#include "mail/FolderInfo.h"
#include "mail/MessageHeader.h"

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

// How the window's size changed (the kinds of WM_SIZE).
enum class SizeChange { restored, minimized, maximized, other };

class PosternApp {
public:
    PosternApp(); // the settings file in the user's data folder
    explicit PosternApp(std::filesystem::path settingsPath);
    ~PosternApp(); // Shutdown()
    PosternApp(const PosternApp&) = delete;
    PosternApp& operator=(const PosternApp&) = delete;

    // --- start-up, in this order ------------------------------------------
    // Reads the settings file. False when it holds no usable account: there
    // is nothing to show then, and the file is left untouched.
    [[nodiscard]] bool LoadSettings();
    // The window the records go to; it must outlive Shutdown().
    void AttachUi(UiPort& ui);
    // The message to select again, the pane widths and the per-account state.
    void PrepareState();
    // Call once the window stands where it will open. Placement changes are
    // remembered from then on only: the moves and sizes that creating and
    // placing the window cause would otherwise overwrite the saved placement
    // before it was used.
    void WindowPlaced();
    // Starts the job worker.
    [[nodiscard]] bool StartWorker(std::string& error);
    // Joins the worker (a running job completes, queued jobs are dropped),
    // then saves the settings. Safe to call twice.
    void Shutdown();

    // --- window events (UI thread) ----------------------------------------
    void SetScale(float scale) { scale_ = scale; }
    // The placement is empty when the window system could not say what it
    // is; nothing is saved then.
    void OnMove(const std::optional<WindowPlacementState>& placement);
    void OnSize(SizeChange change, const std::optional<WindowPlacementState>& placement);
    void OnEnterSizeMove();
    void OnExitSizeMove(const std::optional<WindowPlacementState>& placement);
    // True when the timer fires only once and is to be killed now.
    [[nodiscard]] bool OnTimer(unsigned timerId);
    // A record from the worker or from the UI thread itself; it is freed
    // when this returns.
    void HandleRecord(std::unique_ptr<ResultRecord> record);

    // --- worker side --------------------------------------------------------
    void PostStatus(std::u16string text);
    void PostError(std::u16string text);

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
    [[nodiscard]] const std::u16string& StatusText() const { return statusText_; }
    [[nodiscard]] bool InSizeMove() const { return inSizeMove_; }
    [[nodiscard]] bool AutoSelectDone() const { return autoSelectDone_; }
    [[nodiscard]] int ReopenAccount() const { return reopenAccount_; }
    [[nodiscard]] const std::string& ReopenFolder() const { return reopenFolder_; }
    [[nodiscard]] uint32_t ReopenUid() const { return reopenUid_; }
    [[nodiscard]] size_t AccountCount() const { return inboxUnread_.size(); }

    // Worker: the worker's own copies of the account records (they also
    // carry the current access tokens), and what each session has selected.
    [[nodiscard]] std::vector<AccountConfig>& WorkerAccounts() { return workerAccounts_; }
    [[nodiscard]] std::vector<std::string>& SelectedMailbox() { return selectedMailbox_; }

private:
    void SaveWindowPlacement(const std::optional<WindowPlacementState>& placement);
    void SaveSettingsFile();
    void AddNewAccounts();
    void ShowStatus(std::u16string text);

    std::filesystem::path settingsPath_;
    UiPort* ui_ = nullptr;
    float scale_ = 1.0f;
    AppSettings settings_;
    bool settingsLoaded_ = false;
    JobQueue jobs_;

    // Worker. Filled before the worker starts; afterwards only jobs change
    // them, so a new account is appended by a job, and the lists may grow
    // while other jobs run without any element moving under them.
    std::vector<AccountConfig> workerAccounts_;
    std::vector<std::string> selectedMailbox_;
    std::vector<std::string> sentFolder_;
    std::vector<std::string> trashFolder_;
    std::vector<std::vector<FolderInfo>> folderLists_;

    // UI thread, one entry per account.
    std::vector<uint32_t> inboxUnread_;
    std::vector<std::string> inboxName_;
    std::vector<std::vector<MessageHeader>> inboxHeaders_;
    std::vector<uint64_t> inboxLoadedAt_;

    float railWidth_ = kDefaultRailWidth;
    float listWidth_ = kDefaultListWidth;
    std::u16string statusText_ = u"Starting\u2026";
    bool inSizeMove_ = false;
    bool placementReady_ = false;
    bool autoSelectDone_ = false;
    int reopenAccount_ = -1;
    std::string reopenFolder_;
    uint32_t reopenUid_ = 0;
    bool shutDown_ = false;
};

} // namespace postern
