#include "app/PosternApp.h"
#include "app/ResultRecords.h"

#include "support/QueuedUiPort.h"
#include "support/TempFolder.h"
#include "support/Waiting.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace postern {
namespace {

// The message numbers are a contract with every window that sends or
// receives records: WM_APP plus these offsets.
TEST(ResultRecords, EachRecordTravelsUnderItsOwnMessageNumber)
{
    const std::pair<RecordKind, uint32_t> expected[] = {
        {StatusTextRecord::kKind, 1}, {ErrorTextRecord::kKind, 2},   {FoldersResult::kKind, 3},
        {HeadersResult::kKind, 4},    {BodyResult::kKind, 5},        {UnreadCount::kKind, 6},
        {RefreshTokenRecord::kKind, 7}, {SendRequestRecord::kKind, 8}, {SendResult::kKind, 9},
        {AccountAddedRecord::kKind, 10}, {SearchBatch::kKind, 11},   {ConversationResult::kKind, 12},
        {IdleActivityRecord::kKind, 41}, {SignInResultRecord::kKind, 60}, {DetectionResultRecord::kKind, 61},
    };
    for (const auto& [kind, offset] : expected) {
        EXPECT_EQ(RecordOffset(kind), offset);
        RecordKind back{};
        ASSERT_TRUE(RecordKindFromOffset(offset, back));
        EXPECT_EQ(back, kind);
    }
    RecordKind unused{};
    EXPECT_FALSE(RecordKindFromOffset(0, unused));
    EXPECT_FALSE(RecordKindFromOffset(13, unused));
    EXPECT_FALSE(RecordKindFromOffset(40, unused));
    EXPECT_FALSE(RecordKindFromOffset(42, unused));
    EXPECT_FALSE(RecordKindFromOffset(62, unused));

    UnreadCount unread;
    EXPECT_EQ(RecordAs<UnreadCount>(unread), &unread);
    EXPECT_EQ(RecordAs<HeadersResult>(unread), nullptr);
}

std::atomic<int> gCreated{0};
std::atomic<int> gDestroyed{0};

// A status record that counts its own life, to prove each record is freed
// exactly once wherever it ends: handled, or dropped by a closed port.
struct CountedStatus final : StatusTextRecord {
    CountedStatus() { gCreated.fetch_add(1); }
    ~CountedStatus() override { gDestroyed.fetch_add(1); }
};

TEST(ResultRecords, ManyProducersDeliverEveryRecordOnceAndLateOnesAreFreed)
{
    gCreated = 0;
    gDestroyed = 0;
    test::TempFolder folder;
    test::QueuedUiPort port;
    PosternApp app(folder.Path() / "config.json");
    app.AttachUi(port);

    constexpr int kProducers = 6;
    constexpr int kEach = 500;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&port, p] {
            for (int i = 0; i < kEach; ++i) {
                auto record = std::make_unique<CountedStatus>();
                record->text = u"p" + std::u16string(1, static_cast<char16_t>(u'0' + p));
                port.Post(std::move(record));
            }
        });
    }
    int handled = 0;
    while (handled < kProducers * kEach) {
        std::unique_ptr<ResultRecord> record = port.Next(test::kWaitLimit);
        ASSERT_NE(record, nullptr) << "after " << handled << " records";
        app.HandleRecord(std::move(record));
        ++handled;
    }
    for (std::thread& producer : producers)
        producer.join();
    EXPECT_EQ(port.Repaints(), kProducers * kEach);
    EXPECT_EQ(gDestroyed.load(), kProducers * kEach);

    // The window is gone: what is still queued and what comes later is freed.
    port.Post(std::make_unique<CountedStatus>());
    port.Close();
    std::thread late([&port] {
        for (int i = 0; i < 100; ++i)
            port.Post(std::make_unique<CountedStatus>());
    });
    late.join();
    EXPECT_EQ(gCreated.load(), kProducers * kEach + 101);
    EXPECT_EQ(gDestroyed.load(), gCreated.load());
}

} // namespace
} // namespace postern
