// postern-cli check: the engine started on the accounts of config.json as the
// program starts it, minus the window. It waits until every account has its
// folder list, its unread counts and the first list, then prints the rail,
// the first rows of the list that start-up shows, and what each account's
// session cost. Users run it to see why an account does not work; we run it
// as the black-box check of the engine.
#include "cli/Command.h"
#include "cli/TrustOption.h"

#include "account/Settings.h"
#include "app/PosternApp.h"
#include "app/RecordQueue.h"
#include "platform/Charset.h"

#include <chrono>
#include <cstdio>

namespace postern::cli {

namespace {

constexpr auto kPatience = std::chrono::seconds(120);
constexpr size_t kRowsShown = 20;

// A marker that the worker posts after the jobs queued before it.
struct QuietMarker : RecordOf<RecordKind::StatusText> {
};

// The window's side of the engine: records queue up for the main thread;
// everything that would be drawn is left to the printout at the end.
class HeadlessPort final : public UiPort {
public:
    void Post(std::unique_ptr<ResultRecord> record) override { (void)records_.Push(std::move(record)); }
    void PostSendResult(uint64_t, std::unique_ptr<SendResult>) override {}
    void PostDialogResult(uint64_t, std::unique_ptr<ResultRecord>) override {}
    void Repaint() override {}
    void ShowPage(std::u16string) override {}
    void StartTimer(unsigned, unsigned) override {}
    bool SetClipboardText(const std::u16string&) override { return false; }
    void ShowTray(bool, const std::u16string&) override {}

    std::unique_ptr<ResultRecord> Next(std::chrono::steady_clock::time_point deadline)
    {
        return records_.Next(deadline);
    }

private:
    RecordQueue records_;
};

std::string Narrow(const std::u16string& text)
{
    return Utf16ToUtf8(text);
}

void PrintRail(const PosternApp& app)
{
    std::printf("Rail:\n");
    for (const RailItem& item : app.RailItems()) {
        const int indent = item.isAccount || item.unified || item.lockedView ? 1 : 2 + item.depth;
        std::printf("%*s%s", indent * 2, "", Narrow(item.label).c_str());
        if (const uint32_t unread = app.UnreadOf(item); unread > 0)
            std::printf(" (%u)", unread);
        std::printf("\n");
    }
}

void PrintList(const PosternApp& app)
{
    const int32_t current = app.CurrentFolder();
    const ListState& list = app.List();
    std::printf("List: %s, %zu rows\n",
                current >= 0 ? Narrow(app.RailItems()[static_cast<size_t>(current)].label).c_str() : "(none)",
                list.viewRows.size());
    for (size_t i = 0; i < list.viewRows.size() && i < kRowsShown; ++i) {
        const MessageRow& row = list.viewRows[i];
        std::printf("  %c %-12s %-24s %s", row.header.seen ? ' ' : '*', Narrow(row.dateText).c_str(),
                    Narrow(row.senderText).c_str(), Narrow(row.subjectText).c_str());
        if (row.members.size() > 1)
            std::printf(" [%zu]", row.members.size());
        std::printf("\n");
    }
}

} // namespace

int RunCheck(const Arguments& args)
{
    TrustOption trust;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (!trust.Accepts(args, i)) {
            std::fprintf(stderr, "usage: postern-cli check [--ca FILE]\n");
            return 2;
        }
    }
    std::string error;
    if (!trust.Apply(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    HeadlessPort port;
    EngineOptions options;
    options.startWatchers = false; // one look, no waiting for new mail
    PosternApp app(SettingsPath(), options);
    if (!app.LoadSettings()) {
        std::fprintf(stderr, "postern-cli check: no usable account in %s\n", app.SettingsFile().string().c_str());
        return 1;
    }
    if (!app.StartWithoutWindow(port, error)) {
        std::fprintf(stderr, "postern-cli check: %s\n", error.c_str());
        return 1;
    }

    // Quiet means a marker came back with nothing else posted since it was
    // queued: every job queued before it has run, including the unread
    // counts' continuations and the header loads the folder lists started.
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    std::u16string firstError;
    bool quiet = false;
    while (!quiet) {
        app.Lanes().Normal([&port](MailWorker&) { port.Post(std::make_unique<QuietMarker>()); });
        bool others = false;
        for (;;) {
            std::unique_ptr<ResultRecord> record = port.Next(deadline);
            if (!record) {
                std::fprintf(stderr, "postern-cli check: the servers did not finish within %lld seconds\n",
                             static_cast<long long>(kPatience.count()));
                return 1;
            }
            if (dynamic_cast<QuietMarker*>(record.get()))
                break;
            others = true;
            const bool failed = record->kind == RecordKind::ErrorText;
            app.HandleRecord(std::move(record));
            if (failed && firstError.empty())
                firstError = app.StatusText();
        }
        quiet = !others;
    }

    PrintRail(app);
    PrintList(app);
    std::printf("Traffic:\n");
    for (size_t i = 0; i < app.AccountCount(); ++i) {
        const SessionTraffic traffic = app.Traffic(i);
        std::printf("  %s: %u IMAP commands, %u round trips, %u connection%s\n",
                    app.Settings().accounts[i].name.c_str(), traffic.commands, traffic.roundTrips,
                    traffic.connects, traffic.connects == 1 ? "" : "s");
    }
    app.Shutdown();
    if (!firstError.empty()) {
        std::fflush(stdout);
        std::fprintf(stderr, "%s\n", Narrow(firstError).c_str());
        return 1;
    }
    return 0;
}

} // namespace postern::cli
