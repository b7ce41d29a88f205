// The engine against the fixture's Dovecot, as a user drives it: IMAP round
// trips per action next to the least each action needs, the time from a
// folder click to its rows on the 10,000-message inbox, and the time from a
// submission through the MTA to the new row. Run by bench/engine_bench.sh
// after bench/tools/imap-populate.py has filled the mailbox.
#include "../tests/support/QueuedUiPort.h"

#include "app/PosternApp.h"
#include "mail/MessageBuilder.h"
#include "mail/SmtpClient.h"
#include "platform/Charset.h"
#include "platform/Files.h"
#include "platform/TrustAnchors.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace postern {
namespace {

using Clock = std::chrono::steady_clock;

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

class Bench {
public:
    explicit Bench(const std::filesystem::path& config) : app_(config) {}
    ~Bench() { app_.Shutdown(); }

    bool Start()
    {
        std::string error;
        return app_.LoadSettings() && app_.StartWithoutWindow(port_, error);
    }

    // Handles records until `done` holds; false after a minute.
    bool PumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!done()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            if (auto record = port_.Next(left))
                Handle(std::move(record));
        }
        return true;
    }

    // Waits until every queued job has run and its records are handled.
    void Settle()
    {
        for (int rounds = 0; rounds < 100; ++rounds) {
            bool marker = false;
            app_.Lanes().Normal([](MailWorker& worker) { worker.PostStatus(u"\x1f"); });
            bool others = false;
            while (!marker) {
                auto record = port_.Next(std::chrono::seconds(60));
                if (!record)
                    return;
                if (auto* status = RecordAs<StatusTextRecord>(*record); status && status->text == u"\x1f")
                    marker = true;
                else
                    others = true;
                Handle(std::move(record));
            }
            if (!others)
                return;
        }
    }

    int32_t Folder(const std::string& path) const
    {
        const auto& items = app_.RailItems();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].account == 0 && items[i].path == path && !items[i].isAccount)
                return static_cast<int32_t>(i);
        return -1;
    }

    // One action's cost in round trips, measured on the worker's session.
    void Measure(const char* action, uint32_t least, const std::function<void()>& act)
    {
        Settle();
        const SessionTraffic before = app_.Traffic(0);
        act();
        Settle();
        const SessionTraffic after = app_.Traffic(0);
        const uint32_t trips = after.roundTrips - before.roundTrips;
        std::printf("%-44s %6u %6u %6u  %s\n", action, after.commands - before.commands, trips, least,
                    trips <= least ? "ok" : "ABOVE");
    }

    PosternApp& App() { return app_; }
    // Header lists handled so far.
    [[nodiscard]] int HeaderLoads() const { return headerLoads_; }

private:
    void Handle(std::unique_ptr<ResultRecord> record)
    {
        headerLoads_ += record->kind == RecordKind::Headers ? 1 : 0;
        app_.HandleRecord(std::move(record));
    }

    int headerLoads_ = 0;
    test::QueuedUiPort port_;
    PosternApp app_;
};

int Run()
{
    const std::string user = Env("BENCH_USER");
    if (user.empty() || Env("POSTERN_SUBMISSION_PORT").empty()) {
        std::fprintf(stderr, "run bench/engine_bench.sh (it sources the fixture and benchmark env files)\n");
        return 2;
    }
    std::string pem, error;
    if (!ReadWholeFile(Env("BENCH_CAFILE"), pem, error)) {
        std::fprintf(stderr, "test CA: %s\n", error.c_str());
        return 2;
    }
    SetExtraTrustAnchors(pem);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "postern-engine-bench";
    std::filesystem::create_directories(folder);
    AppSettings settings;
    AccountConfig account;
    account.name = "Bench";
    account.email = user;
    account.user = user;
    account.password = Env("BENCH_PASS");
    account.imapHost = Env("BENCH_HOST");
    account.imapPort = std::atoi(Env("BENCH_PORT").c_str());
    account.smtpHost = account.imapHost;
    account.smtpPort = std::atoi(Env("POSTERN_SUBMISSION_PORT").c_str());
    settings.accounts.push_back(account);
    if (!SaveSettingsTo(folder / "config.json", settings, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }

    Bench bench(folder / "config.json");
    const auto started = Clock::now();
    if (!bench.Start() || !bench.PumpUntil([&] { return bench.App().List().allRows.size() >= 200; })) {
        std::fprintf(stderr, "start-up did not show the inbox: %s\n",
                     Utf16ToUtf8(bench.App().StatusText()).c_str());
        return 1;
    }
    const double startMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    bench.Settle();
    PosternApp& app = bench.App();
    size_t selectable = 0;
    for (const RailItem& item : app.RailItems())
        selectable += !item.isAccount && item.bright ? 1 : 0;

    std::printf("%-44s %6s %6s %6s\n", "action", "cmds", "trips", "least");
    // Single messages (conversation rows load every member): an unread one,
    // then another, then the first again.
    std::vector<int32_t> singles;
    for (size_t i = 0; i < app.List().viewRows.size() && singles.size() < 2; ++i) {
        const MessageRow& row = app.List().viewRows[i];
        if (row.members.size() <= 1 && (!singles.empty() || !row.header.seen))
            singles.push_back(static_cast<int32_t>(i));
    }
    if (singles.size() < 2) {
        std::fprintf(stderr, "the inbox has no unread single message to open\n");
        return 1;
    }
    bench.Measure("open an unread message in the selected folder", 1, [&] { app.SelectRow(singles[0], false); });
    app.SelectRow(singles[1], false);
    bench.Measure("open it again (body cache)", 0, [&] { app.SelectRow(singles[0], false); });
    const int32_t projects = bench.Folder("Projects");
    bench.Measure("switch to another folder", 2, [&] { app.SelectFolder(projects, false); });
    // Reloading the shown folder and counting unread everywhere else: the
    // selected folder is counted by a search instead of a STATUS.
    bench.Measure(("refresh: reload + unread sweep of " + std::to_string(selectable) + " folders").c_str(),
                  static_cast<uint32_t>(2 + selectable), [&] { app.RefreshCurrent(true); });

    const int32_t inbox = bench.Folder("INBOX");
    bench.Settle();
    // The rows of a visit within the last minute show at once from the
    // cache; what is timed is the server's fresh list replacing them.
    const int loadsBefore = bench.HeaderLoads();
    const auto clicked = Clock::now();
    app.SelectFolder(inbox, false);
    const double cachedMs = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
    (void)bench.PumpUntil([&] { return bench.HeaderLoads() > loadsBefore; });
    const double switchMs = std::chrono::duration<double, std::milli>(Clock::now() - clicked).count();
    bench.Settle();

    // New mail: submitted through the MTA, seen by the watcher, shown by the
    // refresh it triggers.
    const std::string subject = "bench arrival " + std::to_string(Clock::now().time_since_epoch().count());
    OutgoingMessage message;
    message.to = user;
    message.subject = subject;
    message.textBody = "New.\r\n";
    ServerLogin login;
    login.host = account.smtpHost;
    login.port = static_cast<uint32_t>(account.smtpPort);
    login.user = user;
    login.password = account.password;
    const auto submitted = Clock::now();
    SmtpClient smtp;
    if (!smtp.Submit(login, user, {user}, BuildMessage("Bench", user, message), error)) {
        std::fprintf(stderr, "submission: %s\n", error.c_str());
        return 1;
    }
    const bool arrived = bench.PumpUntil([&] {
        for (const MessageRow& row : app.List().viewRows)
            if (row.header.subject == subject)
                return true;
        return false;
    });
    const double arrivalMs = std::chrono::duration<double, std::milli>(Clock::now() - submitted).count();

    std::printf("\n%-44s %9.0f ms\n", "start-up to the inbox's rows", startMs);
    std::printf("%-44s %9.1f ms\n", "folder click to cached rows", cachedMs);
    std::printf("%-44s %9.0f ms\n", "folder click to server rows, 10,000 messages", switchMs);
    if (arrived)
        std::printf("%-44s %9.0f ms  (target 2000 ms)\n", "submission to the new row", arrivalMs);
    else
        std::printf("%-44s %9s\n", "submission to the new row", "not shown within 60 s");
    return 0;
}

} // namespace
} // namespace postern

int main()
{
    return postern::Run();
}
