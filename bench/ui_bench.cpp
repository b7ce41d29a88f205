// Speed of the list model, the page builder and address completion, against
// the targets of the presentation work: grouping 20,000 rows into
// conversations in under 50 ms (and no worse than n log n from 200 rows up),
// the page of a 1.4 MB HTML message with ten inline images, and completion
// over 20,000 contacts in under 2 ms; and a frame of the main window, whose
// cost must not grow with the folder (10,000 and 20,000 rows alike).
#include "compose/ContactStore.h"
#include "ui/ListModel.h"
#include "ui/MainScene.h"
#include "ui/MessagePage.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace postern;

// A mailbox shaped like real ones: threads of one to twelve messages linked
// by In-Reply-To and References, about a third of replies with only a "Re:"
// subject, mailing-list tags, and two accounts.
std::vector<MessageRow> MakeRows(std::size_t count)
{
    std::mt19937 random(7);
    const char* words[] = {"budget", "plan", "offsite", "release", "review", "party", "invoice", "report", "trip",
                           "update", "question", "build"};
    std::vector<MessageRow> rows;
    rows.reserve(count);
    std::size_t thread = 0;
    while (rows.size() < count) {
        const std::size_t length = 1 + random() % 12;
        const std::string subject = std::string(words[random() % 12]) + " " + words[random() % 12] + " "
                                    + std::to_string(thread);
        const uint32_t account = static_cast<uint32_t>(thread % 2);
        std::string references;
        for (std::size_t k = 0; k < length && rows.size() < count; ++k) {
            MessageRow row;
            row.account = account;
            row.mailbox = "INBOX";
            row.header.uid = static_cast<uint32_t>(rows.size() + 1);
            row.header.date = 1'700'000'000 + static_cast<int64_t>(random() % 10'000'000);
            row.header.seen = random() % 4 != 0;
            row.header.from = "Person " + std::to_string(random() % 500) + " <p@example.org>";
            row.header.messageId = "<" + std::to_string(thread) + "." + std::to_string(k) + "@example.org>";
            row.header.subject = (k == 0 ? "" : "Re: ") + std::string(thread % 5 == 0 ? "[list] " : "") + subject;
            if (k > 0 && random() % 3 != 0) {
                row.header.inReplyTo = "<" + std::to_string(thread) + "." + std::to_string(k - 1) + "@example.org>";
                row.header.references = references;
            }
            references += (references.empty() ? "" : " ") + row.header.messageId;
            row.senderText = u"Person";
            row.subjectText = u"Subject";
            rows.push_back(std::move(row));
        }
        ++thread;
    }
    // Delivery order is not thread order. The copy allocates every row's
    // text anew in list order, as building the rows from a header list does.
    std::shuffle(rows.begin(), rows.end(), random);
    return std::vector<MessageRow>(rows.begin(), rows.end());
}

void RebuildGrouped(benchmark::State& state)
{
    ListState list;
    list.allRows = MakeRows(static_cast<std::size_t>(state.range(0)));
    list.conversationMode = true;
    for (auto _ : state) {
        RebuildView(list);
        benchmark::DoNotOptimize(list.viewRows.data());
    }
    state.SetComplexityN(state.range(0));
    state.counters["conversations"] = static_cast<double>(list.viewRows.size());
}
BENCHMARK(RebuildGrouped)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oNLogN);

void RebuildFilteredGrouped(benchmark::State& state)
{
    ListState list;
    list.allRows = MakeRows(20000);
    list.conversationMode = true;
    list.filterTerms = ParseFilterQuery(u"#from:person subject");
    for (auto _ : state) {
        RebuildView(list);
        benchmark::DoNotOptimize(list.viewRows.data());
    }
}
BENCHMARK(RebuildFilteredGrouped)->Unit(benchmark::kMillisecond);

void PageOfLargeNewsletter(benchmark::State& state)
{
    ParsedMessage message;
    std::mt19937 random(3);
    std::string html = "<html><body>";
    for (int i = 0; i < 10; ++i) {
        MimePart part;
        part.contentType = "image/png";
        part.contentId = "img" + std::to_string(i) + "@example.org";
        part.data.resize(40'000);
        for (char& c : part.data)
            c = static_cast<char>(random());
        message.parts.push_back(std::move(part));
    }
    int paragraph = 0;
    while (html.size() < 1'400'000) {
        html += "<p style=\"color:#333\">Paragraph " + std::to_string(paragraph)
                + " of the newsletter, with a <a href=\"https://example.org/a?b=c&amp;d=e\">link</a> and some "
                  "text to read.</p>\n";
        if (paragraph % 500 == 0)
            html += "<img src=\"cid:img" + std::to_string((paragraph / 500) % 10) + "@example.org\">";
        ++paragraph;
    }
    html += "<SCRIPT>x()</SCRIPT></body></html>";
    message.htmlBody = html;
    std::size_t units = 0;
    for (auto _ : state) {
        const std::u16string page = MessagePage(message);
        units = page.size();
        benchmark::DoNotOptimize(page.data());
    }
    state.counters["page_units"] = static_cast<double>(units);
}
BENCHMARK(PageOfLargeNewsletter)->Unit(benchmark::kMillisecond);

void CompleteOver20000(benchmark::State& state)
{
    ContactStore store;
    std::mt19937 random(5);
    const char* first[] = {"Anna", "Bo", "Carl", "Dana", "Erik", "Fia", "Gustav", "Hanna", "Ivar", "Jenny"};
    const char* last[] = {"Berg", "Ek", "Lind", "Holm", "Strand", "Nyberg", "Sand", "Dahl", "Lund", "Wik"};
    for (int i = 0; i < 20000; ++i) {
        const std::string name = std::string(first[random() % 10]) + " " + last[random() % 10];
        store.Remember(name, "user" + std::to_string(i) + "@host" + std::to_string(i % 97) + ".example");
    }
    const std::string query = state.range(0) == 0 ? "an" : "user19";
    for (auto _ : state) {
        const std::vector<Suggestion> found = store.Complete(query, 8);
        benchmark::DoNotOptimize(found.data());
    }
}
BENCHMARK(CompleteOver20000)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace

// The frame as the window paints it, scrolled to the middle of the folder.
void FrameOfFolder(benchmark::State& state)
{
    ListState list;
    list.viewRows = MakeRows(static_cast<std::size_t>(state.range(0)));
    list.currentRow = 3;
    list.selectedRows = {3};
    MainSceneInput input;
    input.metrics = {1272, 813, 1, 230, 360};
    input.accountCount = 2;
    input.list.list = &list;
    input.list.folderSelected = true;
    input.list.scroll = 56.0f * static_cast<float>(list.viewRows.size() / 2);
    input.list.isLocked = [](int32_t) { return false; };
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildMainScene(input));
}
BENCHMARK(FrameOfFolder)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
