// Speed and memory of the MIME code, against the numbers the MIME issue
// sets: parse throughput over a corpus (bench/tools/gen_corpus.py makes a
// realistic one; bench/tools/parse-compare.sh runs the other parsers on the
// same files), and building a message with a 25 MB attachment (under 0.5 s,
// peak memory under four times the message). Prints results; asserts
// nothing.
//
//   BENCH_CORPUS=DIR BENCH_PARSE_LIST=FILE [BENCH_RUNS=5] [BENCH_BUILD_MB=25] bench_parse_bench
#include "mail/MessageBuilder.h"
#include "mail/MimeParser.h"
#include "platform/Files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using postern::ParsedMessage;

double Milliseconds(std::chrono::steady_clock::duration elapsed)
{
    return std::chrono::duration<double, std::milli>(elapsed).count();
}

// A field of /proc/self/status in kB (Linux), 0 when unavailable.
long StatusKilobytes(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0)
            return std::atol(line.c_str() + field.size() + 1);
    }
    return 0;
}

// Starts a new peak-memory measurement (Linux 4.0 and later).
bool ResetPeakMemory()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    return static_cast<bool>(clear);
}

volatile std::size_t sink = 0;

int ParseThroughput(const std::string& corpus, const std::string& list, int runs)
{
    std::string text;
    std::string error;
    if (!postern::ReadWholeFile(list, text, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::vector<std::string> messages;
    std::size_t bytes = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = std::min(text.find('\n', pos), text.size());
        const std::string name = text.substr(pos, end - pos);
        pos = end + 1;
        if (name.empty())
            continue;
        std::string raw;
        if (!postern::ReadWholeFile(corpus + "/" + name, raw, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        bytes += raw.size();
        messages.push_back(std::move(raw));
    }
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        std::size_t checksum = 0;
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& raw : messages) {
            const ParsedMessage message = postern::ParseMessage(raw);
            checksum += message.textBody.size() + message.htmlBody.size() + message.from.size()
                        + message.subject.size() + static_cast<std::size_t>(message.date);
            for (const postern::MimePart& part : message.parts)
                checksum += part.data.size();
        }
        const double ms = Milliseconds(std::chrono::steady_clock::now() - start);
        best = run == 0 ? ms : std::min(best, ms);
        sink = checksum;
    }
    std::printf("parse: %zu messages, %.1f MB, best of %d: %.1f ms, %.0f MB/s\n", messages.size(),
                bytes / 1e6, runs, best, bytes / 1e6 / (best / 1000));
    return 0;
}

void BuildLarge(std::size_t megabytes)
{
    const long baseline = StatusKilobytes("VmRSS");
    postern::OutgoingMessage message;
    message.to = "Bob <bob@example.test>";
    message.subject = "Gr\xC3\xBC\xC3\x9F" "e mit Anhang";
    message.textBody = "See the attachment.\n";
    message.htmlBody = "<p>See the attachment.</p>";
    postern::OutgoingAttachment attachment;
    attachment.filename = "large.bin";
    attachment.data.resize(megabytes * 1000 * 1000);
    uint32_t state = 12345;
    for (char& c : attachment.data) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    message.attachments.push_back(std::move(attachment));

    const long before = StatusKilobytes("VmRSS");
    const bool peakReset = ResetPeakMemory();
    const auto start = std::chrono::steady_clock::now();
    const std::string built = postern::BuildMessage("Alice", "alice@example.test", message);
    const double ms = Milliseconds(std::chrono::steady_clock::now() - start);
    const long peak = StatusKilobytes("VmHWM");
    sink = built.size();

    const double size = built.size() / 1e6;
    std::printf("build: %zu MB attachment -> %.1f MB message in %.1f ms (target < 500 ms)\n",
                megabytes, size, ms);
    if (peakReset && peak > 0) {
        const double used = (peak - baseline) / 1e3; // attachment and message together
        std::printf("build: peak memory %.1f MB above the start (attachment included), "
                    "%.2fx the message (target < 4x); %.1f MB beyond the attachment\n",
                    used, used / size, (peak - before) / 1e3);
    } else {
        std::printf("build: peak memory not measurable here\n");
    }
}

} // namespace

int main()
{
    const char* corpus = std::getenv("BENCH_CORPUS");
    const char* list = std::getenv("BENCH_PARSE_LIST");
    const char* runsText = std::getenv("BENCH_RUNS");
    const char* buildText = std::getenv("BENCH_BUILD_MB");
    const int runs = runsText ? std::max(1, std::atoi(runsText)) : 5;
    // The build first: its peak-memory reading must not include the corpus.
    BuildLarge(buildText ? static_cast<std::size_t>(std::atol(buildText)) : 25);
    if (corpus && *corpus && list && *list)
        return ParseThroughput(corpus, list, runs);
    std::printf("parse: skipped (set BENCH_CORPUS and BENCH_PARSE_LIST; "
                "bench/tools/gen_corpus.py makes a corpus)\n");
    return 0;
}
