// `postern-cli imap ...`: an IMAP account from the command line, through the
// same session and mailbox operations as the program. The password is read
// from standard input, never from the command line, where other users of
// the machine could see it.
//
//   imap folders                 --host H --port P --user U [--ca FILE]
//   imap headers MAILBOX [COUNT] ...   newest COUNT (200) summaries, newest first
//   imap fetch MAILBOX UID ...         the raw message to standard output
//   imap idle MAILBOX SECONDS ...      one line per wake-up
//   imap bench                         the benchmark steps (BENCH_* variables)
#include "cli/Command.h"
#include "cli/TrustOption.h"

#include "mail/ImapIdle.h"
#include "mail/ImapMailbox.h"
#include "mail/ImapSession.h"
#include "mail/ModifiedUtf7.h"
#include "platform/Charset.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/TrustAnchors.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace postern::cli {

namespace {

constexpr uint32_t kIdlePollMs = 20000;

int Fail(const std::string& text)
{
    std::fprintf(stderr, "postern-cli imap: %s\n", text.c_str());
    return 1;
}

int ImapUsage()
{
    std::fputs("usage: postern-cli imap folders|headers MAILBOX [COUNT]|fetch MAILBOX UID|idle MAILBOX SECONDS\n"
               "         --host H --port P --user U [--ca FILE]   (password on standard input)\n"
               "       postern-cli imap bench   (settings in BENCH_* variables)\n",
               stderr);
    return 2;
}

bool ParseCount(const std::string& text, uint32_t& value)
{
    if (text.empty() || text.size() > 9)
        return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return true;
}

// "2024-02-05 10:00" in UTC; the civil-from-days conversion of H. Hinnant.
std::string FormatUtc(int64_t unixSeconds)
{
    if (unixSeconds == 0)
        return "(no date)       ";
    int64_t days = unixSeconds / 86400;
    int64_t rest = unixSeconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t doe = days - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int64_t day = doy - (153 * mp + 2) / 5 + 1;
    const int64_t month = mp < 10 ? mp + 3 : mp - 9;
    const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    char text[128];
    std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld", static_cast<long long>(year),
                  static_cast<long long>(month), static_cast<long long>(day), static_cast<long long>(rest / 3600),
                  static_cast<long long>(rest % 3600 / 60));
    return text;
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

int Folders(ImapSession& session)
{
    std::vector<FolderInfo> folders;
    std::string error;
    if (!ListFolders(session, folders, error))
        return Fail("LIST: " + error);
    for (const FolderInfo& f : folders) {
        std::string roles;
        const std::pair<bool, const char*> flags[] = {{f.isInbox, " inbox"},   {f.isSent, " sent"},
                                                      {f.isTrash, " trash"},   {f.isDrafts, " drafts"},
                                                      {f.isJunk, " junk"},     {f.isArchive, " archive"},
                                                      {f.noSelect, " noselect"}};
        for (const auto& [on, text] : flags) {
            if (on)
                roles += text;
        }
        std::printf("%s\t%s\t%c\t%s\n", f.name.c_str(), Utf16ToUtf8(MailboxDisplayName(f.name)).c_str(),
                    f.delimiter, roles.empty() ? "-" : roles.c_str() + 1);
    }
    return 0;
}

int Headers(ImapSession& session, const std::string& mailbox, uint32_t newest)
{
    uint32_t count = 0;
    std::string error;
    if (!Select(session, mailbox, count, error))
        return Fail("SELECT " + mailbox + ": " + error);
    uint32_t first = 0;
    uint32_t last = 0;
    NewestRange(count, newest, first, last);
    std::vector<MessageHeader> headers;
    if (newest > 0 && !FetchHeaders(session, first, last, headers, error))
        return Fail("FETCH: " + error);
    std::sort(headers.begin(), headers.end(),
              [](const MessageHeader& a, const MessageHeader& b) { return a.seq > b.seq; });
    for (const MessageHeader& h : headers) {
        const std::string flags = std::string(h.seen ? "" : "N") + (h.flagged ? "F" : "") + (h.answered ? "A" : "");
        std::printf("%u\t%s\t%s\t%u\t%s\t%s\n", static_cast<unsigned>(h.uid), FormatUtc(h.date).c_str(),
                    flags.empty() ? "-" : flags.c_str(), static_cast<unsigned>(h.size), OneLine(h.from).c_str(),
                    OneLine(h.subject).c_str());
    }
    return 0;
}

int Fetch(ImapSession& session, const std::string& mailbox, uint32_t uid)
{
    uint32_t count = 0;
    std::string error;
    if (!Select(session, mailbox, count, error))
        return Fail("SELECT " + mailbox + ": " + error);
    std::string raw;
    if (!FetchMessage(session, uid, raw, error))
        return Fail("FETCH " + std::to_string(uid) + ": " + error);
    SetStandardOutputBinary();
    if (std::fwrite(raw.data(), 1, raw.size(), stdout) != raw.size())
        return Fail("writing standard output failed");
    return 0;
}

int Idle(ImapSession& session, const std::string& mailbox, uint32_t seconds)
{
    uint32_t count = 0;
    std::string error;
    if (!Select(session, mailbox, count, error))
        return Fail("SELECT " + mailbox + ": " + error);
    std::printf("idle %s: %u messages\n", mailbox.c_str(), static_cast<unsigned>(count));
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(seconds);
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        session.SetReceiveTimeout(static_cast<uint32_t>(std::min<long long>(left + 1, kIdlePollMs)));
        if (!StartIdle(session, error))
            return Fail(error);
        int activity = 0;
        while (activity == 0 && std::chrono::steady_clock::now() < deadline)
            activity = PollIdle(session);
        if (activity < 0)
            return Fail("connection lost while idling");
        if (!StopIdle(session, error))
            return Fail(error);
        if (activity > 0) {
            if (!Select(session, mailbox, count, error))
                return Fail("SELECT " + mailbox + ": " + error);
            const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("wake-up after %.1f s: %u messages\n", at, static_cast<unsigned>(count));
            std::fflush(stdout);
        }
    }
    return 0;
}

int Bench();

} // namespace

int RunImap(const Arguments& args)
{
    if (args.size() == 1 && args[0] == "bench")
        return Bench();
    std::vector<std::string> positional;
    ServerLogin login;
    TrustOption trust;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (trust.Accepts(args, i))
            continue;
        if (args[i] == "--host" && i + 1 < args.size()) {
            login.host = args[++i];
        } else if (args[i] == "--port" && i + 1 < args.size()) {
            if (!ParsePort(args[++i], login.port))
                return Fail("--port: not a port: " + args[i]);
        } else if (args[i] == "--user" && i + 1 < args.size()) {
            login.user = args[++i];
        } else if (args[i].rfind("--", 0) == 0) {
            return ImapUsage();
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.empty() || login.host.empty() || login.port == 0 || login.user.empty())
        return ImapUsage();
    const std::string& what = positional[0];
    uint32_t number = 200;
    if (what == "folders" && positional.size() == 1) {
    } else if (what == "headers" && (positional.size() == 2 || positional.size() == 3)) {
        if (positional.size() == 3 && !ParseCount(positional[2], number))
            return Fail("COUNT: not a number: " + positional[2]);
    } else if ((what == "fetch" || what == "idle") && positional.size() == 3) {
        if (!ParseCount(positional[2], number))
            return Fail(positional[2] + " is not a number");
    } else {
        return ImapUsage();
    }

    std::string error;
    if (!trust.Apply(error))
        return Fail(error);
    if (!ReadStandardInputLine(login.password))
        return Fail("no password on standard input");

    ImapSession session;
    if (!session.Open(login, error))
        return Fail(login.host + ":" + std::to_string(login.port) + ": " + error);
    int result = 0;
    if (what == "folders")
        result = Folders(session);
    else if (what == "headers")
        result = Headers(session, positional[1], number);
    else if (what == "fetch")
        result = Fetch(session, positional[1], number);
    else
        result = Idle(session, positional[1], number);
    session.Logout();
    return result;
}

// --- the benchmark steps ----------------------------------------------------
//
// Each step runs BENCH_RUNS times on a fresh connection and times only the
// step itself; setting up (connect, sign in, SELECT where the step does not
// include it) stays outside the clock.

namespace {

std::string Env(const char* name, const char* fallback = "")
{
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

std::vector<std::string> SplitList(const std::string& text, char separator)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(separator, start);
        if (end == std::string::npos)
            end = text.size();
        std::string item = text.substr(start, end - start);
        if (!item.empty() && item.back() == '\r')
            item.pop_back();
        if (!item.empty())
            out.push_back(item);
        start = end + 1;
    }
    return out;
}

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - since).count();
}

void PrintStep(const char* step, const std::vector<double>& ms, const std::string& extra)
{
    std::string list;
    for (double value : ms) {
        char text[32];
        std::snprintf(text, sizeof text, "%s%.1f", list.empty() ? "" : ",", value);
        list += text;
    }
    std::printf("BENCH %s ms=%s%s%s\n", step, list.c_str(), extra.empty() ? "" : " ", extra.c_str());
    std::fflush(stdout);
}

int Bench()
{
    ServerLogin login;
    login.host = Env("BENCH_HOST", "localhost");
    login.user = Env("BENCH_USER");
    login.password = Env("BENCH_PASS");
    if (!ParsePort(Env("BENCH_PORT"), login.port) || login.user.empty())
        return Fail("bench: set BENCH_HOST, BENCH_PORT, BENCH_USER, BENCH_PASS (and BENCH_CAFILE)");
    std::string error;
    const std::string caFile = Env("BENCH_CAFILE");
    if (!caFile.empty()) {
        std::string pem;
        if (!ReadWholeFile(PathFromUtf8(caFile), pem, error))
            return Fail("BENCH_CAFILE: " + error);
        SetExtraTrustAnchors(std::move(pem));
    }
    uint32_t runs = 5;
    if (!ParseCount(Env("BENCH_RUNS", "5"), runs) || runs == 0)
        return Fail("BENCH_RUNS: not a positive number");
    const std::vector<std::string> ops =
        SplitList(Env("BENCH_OPS", "connect_login,fetch_headers_200,fetch_bodies_50,status_31"), ',');
    std::vector<uint32_t> fetchUids;
    for (const std::string& text : SplitList(Env("BENCH_FETCH_UIDS"), ',')) {
        uint32_t uid = 0;
        if (!ParseCount(text, uid) || uid == 0)
            return Fail("BENCH_FETCH_UIDS: not a UID: " + text);
        fetchUids.push_back(uid);
    }
    std::vector<std::string> folders;
    if (const std::string file = Env("BENCH_FOLDERS_FILE"); !file.empty()) {
        std::string text;
        if (!ReadWholeFile(PathFromUtf8(file), text, error))
            return Fail("BENCH_FOLDERS_FILE: " + error);
        for (const std::string& name : SplitList(text, '\n')) {
            std::string encoded;
            if (!EncodeModifiedUtf7(name, encoded, error))
                return Fail("BENCH_FOLDERS_FILE: " + name + ": " + error);
            folders.push_back(encoded);
        }
    }

    for (const std::string& op : ops) {
        std::vector<double> ms;
        std::string extra;
        for (uint32_t run = 0; run < runs; ++run) {
            ImapSession session;
            if (op == "connect_login") {
                const auto start = Clock::now();
                if (!session.Open(login, error))
                    return Fail("connect_login: " + error);
                ms.push_back(Ms(start));
                session.Logout();
                continue;
            }
            if (!session.Open(login, error))
                return Fail(op + ": " + error);
            if (op == "fetch_headers_200") {
                const auto start = Clock::now();
                uint32_t count = 0;
                uint32_t first = 0;
                uint32_t last = 0;
                std::vector<MessageHeader> headers;
                if (!Select(session, "INBOX", count, error))
                    return Fail(op + ": " + error);
                NewestRange(count, 200, first, last);
                if (!FetchHeaders(session, first, last, headers, error))
                    return Fail(op + ": " + error);
                ms.push_back(Ms(start));
                uint64_t sizeSum = 0;
                uint32_t uidMax = 0;
                for (const MessageHeader& h : headers) {
                    sizeSum += h.size;
                    uidMax = std::max(uidMax, h.uid);
                }
                extra = "msgs=" + std::to_string(headers.size()) + " size_sum=" + std::to_string(sizeSum) +
                        " uid_max=" + std::to_string(uidMax);
            } else if (op == "fetch_bodies_50") {
                if (fetchUids.empty())
                    return Fail("fetch_bodies_50: BENCH_FETCH_UIDS is empty");
                uint32_t count = 0;
                if (!Select(session, "INBOX", count, error))
                    return Fail(op + ": " + error);
                uint64_t bytes = 0;
                const auto start = Clock::now();
                for (std::size_t i = 0; i < 50; ++i) {
                    std::string raw;
                    if (!FetchMessage(session, fetchUids[i % fetchUids.size()], raw, error))
                        return Fail(op + ": " + error);
                    bytes += raw.size();
                }
                ms.push_back(Ms(start));
                extra = "msgs=50 bytes=" + std::to_string(bytes);
            } else if (op == "status_31") {
                if (folders.empty())
                    return Fail("status_31: BENCH_FOLDERS_FILE names no folders");
                uint64_t unseenSum = 0;
                const auto start = Clock::now();
                for (const std::string& folder : folders) {
                    uint32_t unseen = 0;
                    if (!CountUnseen(session, folder, unseen, error))
                        return Fail(op + ": " + folder + ": " + error);
                    unseenSum += unseen;
                }
                ms.push_back(Ms(start));
                extra = "folders=" + std::to_string(folders.size()) + " unseen_sum=" + std::to_string(unseenSum);
            } else {
                return Fail("BENCH_OPS: unknown step " + op);
            }
            session.Logout();
        }
        PrintStep(op.c_str(), ms, extra);
    }
    return 0;
}

} // namespace

} // namespace postern::cli
