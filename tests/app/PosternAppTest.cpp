#include "app/PosternApp.h"

#include "support/QueuedUiPort.h"
#include "support/TempFolder.h"
#include "support/Waiting.h"

#include "platform/Charset.h"
#include "platform/Files.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace postern {
namespace {

AccountConfig Account(const std::string& email)
{
    AccountConfig account;
    account.name = email;
    account.email = email;
    account.user = email;
    account.imapHost = "imap.example.test";
    account.smtpHost = "smtp.example.test";
    return account;
}

// A settings file with one account, written the way the program writes it.
void WriteSettings(const std::filesystem::path& path, const AppSettings& settings)
{
    std::string error;
    ASSERT_TRUE(SaveSettingsTo(path, settings, error)) << error;
}

AppSettings Reload(const std::filesystem::path& path)
{
    AppSettings settings;
    std::string error;
    const SettingsLoad result = LoadSettingsFile(path, settings, error);
    EXPECT_EQ(result, SettingsLoad::loaded) << error;
    return settings;
}

WindowPlacementState NormalAt(int32_t x, int32_t y, int32_t w, int32_t h)
{
    WindowPlacementState state;
    state.windowRect = {x, y, x + w, y + h};
    state.normalRect = state.windowRect;
    return state;
}

// The start-up a window runs, minus the window.
struct StartedApp {
    explicit StartedApp(const std::filesystem::path& settingsPath) : app(settingsPath) {}

    bool Start()
    {
        if (!app.LoadSettings())
            return false;
        app.AttachUi(port);
        app.PrepareState();
        app.WindowPlaced();
        std::string error;
        const bool started = app.StartWorker(error);
        EXPECT_TRUE(started) << error;
        return started;
    }

    // Hands records to the app until one of kind `kind` was handled.
    bool HandleUntil(RecordKind kind)
    {
        for (int i = 0; i < 100; ++i) {
            std::unique_ptr<ResultRecord> record = port.Next(test::kWaitLimit);
            if (!record)
                return false;
            const RecordKind got = record->kind;
            app.HandleRecord(std::move(record));
            if (got == kind)
                return true;
        }
        return false;
    }

    test::QueuedUiPort port; // outlives the app, whose worker posts to it
    PosternApp app;
};

TEST(PosternApp, WithoutAUsableAccountThereIsNothingToRunAndTheFileStaysAsItWas)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    {
        PosternApp app(path);
        EXPECT_FALSE(app.LoadSettings());
    }
    EXPECT_FALSE(std::filesystem::exists(path)); // a first start writes nothing

    const std::string unreadable = "{\"accounts\":[{\"email\":\"a@example.test\"}],\"window\":{\"w\":5";
    std::string error;
    ASSERT_TRUE(WriteFileAtomically(path, unreadable, error)) << error;
    {
        PosternApp app(path);
        EXPECT_FALSE(app.LoadSettings());
        app.Shutdown();
    }
    EXPECT_EQ(test::ReadBytes(path), unreadable);
}

TEST(PosternApp, StartUpTakesTheRememberedSelectionAndPaneWidthsFromTheFile)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    AppSettings settings;
    settings.accounts = {Account("a@example.test"), Account("b@example.test")};
    settings.windowW = 1000;
    settings.windowH = 700;
    settings.railW = 100;
    settings.listW = 900;
    settings.lastSelAccount = 1;
    settings.lastSelFolder = "INBOX/Projects";
    settings.lastSelUid = 4242;
    WriteSettings(path, settings);

    StartedApp started(path);
    ASSERT_TRUE(started.Start());
    PosternApp& app = started.app;
    EXPECT_EQ(app.AccountCount(), 2u);
    EXPECT_EQ(app.RailWidth(), 150.0f);
    EXPECT_EQ(app.ListWidth(), 720.0f);
    EXPECT_EQ(app.ReopenAccount(), 1);
    EXPECT_EQ(app.ReopenFolder(), "INBOX/Projects");
    EXPECT_EQ(app.ReopenUid(), 4242u);
    EXPECT_EQ(app.StatusText(), u"Starting\u2026");

    // A remembered account that no longer exists, or a UID no server can
    // have, selects nothing.
    for (const auto& [account, uid] : {std::pair<int32_t, int64_t>{2, 7}, {0, int64_t{1} << 33}}) {
        settings.lastSelAccount = account;
        settings.lastSelUid = uid;
        WriteSettings(path, settings);
        PosternApp other(path);
        ASSERT_TRUE(other.LoadSettings());
        other.PrepareState();
        EXPECT_EQ(other.ReopenAccount(), -1);
        EXPECT_EQ(other.ReopenUid(), 0u);
    }
}

TEST(PosternApp, PlacementIsSavedAfterTheWindowIsPlacedAndNeverWhileMinimized)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    AppSettings settings;
    settings.accounts = {Account("a@example.test")};
    settings.windowX = 40;
    settings.windowY = 30;
    settings.windowW = 1100;
    settings.windowH = 800;
    WriteSettings(path, settings);

    PosternApp app(path);
    ASSERT_TRUE(app.LoadSettings());
    app.PrepareState();
    // Creating the window moves and sizes it before the saved placement is
    // applied; none of that may overwrite the file.
    app.OnSize(SizeChange::restored, NormalAt(0, 0, 1280, 840));
    app.OnMove(NormalAt(0, 0, 1280, 840));
    EXPECT_EQ(Reload(path).windowX, 40);
    app.WindowPlaced();

    app.OnMove(NormalAt(200, 100, 1100, 800));
    AppSettings saved = Reload(path);
    EXPECT_EQ(saved.windowX, 200);
    EXPECT_EQ(saved.windowY, 100);
    EXPECT_EQ(saved.windowW, 1100);
    EXPECT_EQ(saved.windowH, 800);
    EXPECT_EQ(saved.railW, 230);
    EXPECT_EQ(saved.listW, 360);

    WindowPlacementState minimized = NormalAt(-32000, -32000, 160, 28);
    minimized.minimized = true;
    minimized.normalRect = {200, 100, 1300, 900};
    app.OnSize(SizeChange::minimized, minimized);
    app.OnMove(minimized);
    EXPECT_EQ(Reload(path).windowX, 200);

    // A drag saves once, at its end.
    app.OnEnterSizeMove();
    app.OnMove(NormalAt(300, 100, 1100, 800));
    app.OnSize(SizeChange::restored, NormalAt(300, 100, 900, 600));
    EXPECT_EQ(Reload(path).windowX, 200);
    app.OnExitSizeMove(NormalAt(300, 100, 900, 600));
    saved = Reload(path);
    EXPECT_EQ(saved.windowX, 300);
    EXPECT_EQ(saved.windowW, 900);

    // When the window system cannot say where the window is, the drag still
    // ends but nothing is saved.
    app.OnEnterSizeMove();
    app.OnExitSizeMove(std::nullopt);
    EXPECT_FALSE(app.InSizeMove());
    EXPECT_EQ(Reload(path).windowX, 300);

    WindowPlacementState maximized = NormalAt(-8, -8, 1616, 1016);
    maximized.maximized = true;
    maximized.normalRect = {300, 100, 1200, 700};
    app.OnSize(SizeChange::maximized, maximized);
    saved = Reload(path);
    EXPECT_TRUE(saved.maximized);
    EXPECT_EQ(saved.windowX, 300);
    EXPECT_EQ(saved.windowW, 900);
}

TEST(PosternApp, WorkerTextsBecomeTheStatusLineAndErrorsAreMarked)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    AppSettings settings;
    settings.accounts = {Account("a@example.test")};
    WriteSettings(path, settings);
    StartedApp started(path);
    ASSERT_TRUE(started.Start());
    PosternApp& app = started.app;

    app.Lanes().Normal([](MailWorker& worker) { worker.PostStatus(u"Connecting to imap.example.test\u2026"); });
    ASSERT_TRUE(started.HandleUntil(RecordKind::StatusText));
    EXPECT_EQ(app.StatusText(), u"Connecting to imap.example.test\u2026");
    EXPECT_EQ(started.port.Repaints(), 1);

    app.Lanes().Normal([](MailWorker& worker) { worker.PostError(u"server said: NO [AUTHENTICATIONFAILED]"); });
    ASSERT_TRUE(started.HandleUntil(RecordKind::ErrorText));
    EXPECT_EQ(app.StatusText(), u"\u26A0 server said: NO [AUTHENTICATIONFAILED]");

    // A job that breaks in an unforeseen way is reported like a failed one.
    app.Lanes().Normal([](MailWorker&) { throw std::runtime_error("out of memory"); });
    ASSERT_TRUE(started.HandleUntil(RecordKind::ErrorText));
    EXPECT_EQ(app.StatusText(), u"\u26A0 Background job failed: out of memory");
    EXPECT_EQ(started.port.Repaints(), 3);

    EXPECT_FALSE(app.OnTimer(kRefreshTimer)); // periodic
    EXPECT_TRUE(app.OnTimer(kAutoSelectTimer)); // one-shot
    EXPECT_TRUE(app.AutoSelectDone());
}

TEST(PosternApp, ANewRefreshTokenIsSavedAndOneForAGoneAccountIsIgnored)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    AppSettings settings;
    settings.accounts = {Account("a@example.test")};
    WriteSettings(path, settings);
    StartedApp started(path);
    ASSERT_TRUE(started.Start());

    auto stale = std::make_unique<RefreshTokenRecord>();
    stale->account = 1;
    stale->token = "1//stale";
    started.app.HandleRecord(std::move(stale));
    EXPECT_TRUE(Reload(path).accounts.at(0).refreshToken.empty());

    auto fresh = std::make_unique<RefreshTokenRecord>();
    fresh->account = 0;
    fresh->token = "1//fresh-token";
    started.app.HandleRecord(std::move(fresh));
    EXPECT_EQ(Reload(path).accounts.at(0).refreshToken, "1//fresh-token");
}

TEST(PosternApp, AnAddedAccountReachesTheWorkerBeforeAnyJobQueuedForIt)
{
    test::TempFolder folder;
    const auto path = folder.Path() / "config.json";
    AppSettings settings;
    settings.accounts = {Account("a@example.test")};
    WriteSettings(path, settings);
    StartedApp started(path);
    ASSERT_TRUE(started.Start());
    PosternApp& app = started.app;

    // What the account dialog does before it reports the new account.
    app.Settings().accounts.push_back(Account("b@example.test"));
    app.HandleRecord(std::make_unique<AccountAddedRecord>());
    app.HandleRecord(std::make_unique<AccountAddedRecord>()); // a repeat changes nothing
    EXPECT_EQ(app.AccountCount(), 2u);

    app.Lanes().Normal([](MailWorker& worker) {
        const size_t count = worker.AccountCount();
        worker.PostStatus(u"seen: " + Utf8ToUtf16(std::to_string(count) + " " + worker.Account(count - 1).email));
    });
    // The new account's folder-list job runs first and says what it does.
    for (int i = 0; i < 10 && app.StatusText().rfind(u"seen: ", 0) != 0; ++i)
        ASSERT_TRUE(started.HandleUntil(RecordKind::StatusText));
    EXPECT_EQ(app.StatusText(), u"seen: 2 b@example.test");

    // The settings are written once more at the end, after the worker.
    std::filesystem::remove(path);
    app.Shutdown();
    EXPECT_EQ(Reload(path).accounts.size(), 2u);
}

} // namespace
} // namespace postern
