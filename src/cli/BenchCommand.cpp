// `postern-cli bench NAME`: timing runs that scripts compare with other
// programs doing the same work (bench/tools). Each prints one "BENCH" line;
// nothing here is a test.
#include "cli/Command.h"

#include "mail/MimeParser.h"
#include "platform/Files.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace postern::cli {

namespace {

std::string Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines, std::string& error)
{
    std::string text;
    if (!ReadWholeFile(PathFromUtf8(path), text, error))
        return false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(std::move(line));
        pos = end + 1;
    }
    return true;
}

volatile std::size_t sink = 0;

// One pass does what opening each message in the program does: parse it,
// decode From, Subject, Date and Message-ID, take the text and HTML bodies
// as UTF-8 and decode every other part. ParseMessage does all of it; the
// sums keep the work from being optimised away and are printed for
// comparison with the other parsers: text= and html= count the messages
// with such a body, text_bytes= and html_bytes= add up their sizes.
int BenchParse()
{
    const std::string corpus = Environment("BENCH_CORPUS");
    const std::string list = Environment("BENCH_PARSE_LIST");
    const int runs = std::atoi(Environment("BENCH_RUNS").c_str());
    if (corpus.empty() || list.empty()) {
        std::fputs("bench parse: set BENCH_CORPUS (a folder) and BENCH_PARSE_LIST (a file of "
                   "paths relative to it); BENCH_RUNS defaults to 3\n",
                   stderr);
        return 2;
    }
    std::vector<std::string> names;
    std::string error;
    if (!ReadLines(list, names, error)) {
        std::fprintf(stderr, "bench parse: %s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> messages;
    messages.reserve(names.size());
    std::size_t bytes = 0;
    for (const std::string& name : names) {
        std::string raw;
        if (!ReadWholeFile(PathFromUtf8(corpus + "/" + name), raw, error)) {
            std::fprintf(stderr, "bench parse: %s\n", error.c_str());
            return 1;
        }
        bytes += raw.size();
        messages.push_back(std::move(raw));
    }

    std::string times;
    std::size_t text = 0;
    std::size_t html = 0;
    std::size_t textBytes = 0;
    std::size_t htmlBytes = 0;
    std::size_t attachments = 0;
    for (int run = 0; run < (runs > 0 ? runs : 3); ++run) {
        text = html = textBytes = htmlBytes = attachments = 0;
        std::size_t checksum = 0;
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& raw : messages) {
            const ParsedMessage message = ParseMessage(raw);
            checksum += message.from.size() + message.subject.size() + message.messageId.size()
                        + static_cast<std::size_t>(message.date);
            text += message.textBody.empty() ? 0 : 1;
            html += message.htmlBody.empty() ? 0 : 1;
            textBytes += message.textBody.size();
            htmlBytes += message.htmlBody.size();
            attachments += message.parts.size();
            for (const MimePart& part : message.parts)
                checksum += part.data.size();
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        const double ms = std::chrono::duration<double, std::milli>(elapsed).count();
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%s%.1f", times.empty() ? "" : ",", ms);
        times += buffer;
        sink = checksum;
    }
    std::printf("BENCH parse ms=%s msgs=%zu bytes=%zu text=%zu html=%zu att=%zu text_bytes=%zu "
                "html_bytes=%zu\n",
                times.c_str(), messages.size(), bytes, text, html, attachments, textBytes, htmlBytes);
    return 0;
}

struct BenchEntry {
    std::string_view name;
    int (*run)();
};

constexpr BenchEntry kBenches[] = {
    {"parse", BenchParse},
    {"imap", [] { return RunImap({"bench"}); }}, // steps in ImapCommand.cpp, settings in BENCH_* variables
};

} // namespace

int RunBench(const Arguments& args)
{
    if (args.size() == 1) {
        for (const BenchEntry& entry : kBenches) {
            if (args[0] == entry.name)
                return entry.run();
        }
    }
    std::fputs("usage: postern-cli bench NAME\n  names:", stderr);
    for (const BenchEntry& entry : kBenches)
        std::fprintf(stderr, " %.*s", static_cast<int>(entry.name.size()), entry.name.data());
    std::fputs("\n", stderr);
    return 2;
}

} // namespace postern::cli
