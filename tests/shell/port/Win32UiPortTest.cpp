// The Win32 UI port against a real message queue: every record posted to the
// main window is handled once on the UI thread or freed, whatever happens to
// the window in between.
#include "shell/Win32UiPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace postern::shell {
namespace {

std::atomic<int> gCreated{0};
std::atomic<int> gDestroyed{0};
int gHandled = 0; // UI thread only

struct CountedUnread final : UnreadCount {
    CountedUnread() { gCreated.fetch_add(1); }
    ~CountedUnread() override { gDestroyed.fetch_add(1); }
};

struct CountedDetection final : DetectionResultRecord {
    CountedDetection() { gCreated.fetch_add(1); }
    ~CountedDetection() override { gDestroyed.fetch_add(1); }
};

LRESULT CALLBACK RecordWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (std::unique_ptr<ResultRecord> record = TakeRecord(message, lParam)) {
        ++gHandled;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A message-only window standing in for the main window.
class RecordWindow {
public:
    RecordWindow()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = RecordWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"PosternRecordTest";
        RegisterClassW(&windowClass); // fails harmlessly when already there
        window_ = CreateWindowExW(0, L"PosternRecordTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    }
    ~RecordWindow() { Destroy(); }
    RecordWindow(const RecordWindow&) = delete;
    RecordWindow& operator=(const RecordWindow&) = delete;

    [[nodiscard]] HWND Handle() const { return window_; }
    void Destroy()
    {
        if (window_)
            DestroyWindow(window_);
        window_ = nullptr;
    }

private:
    HWND window_ = nullptr;
};

// Handles queued messages until `handled` records were handled; false when
// the deadline passes first.
bool PumpUntilHandled(int handled)
{
    const ULONGLONG deadline = GetTickCount64() + 20000;
    MSG message{};
    while (gHandled < handled) {
        if (GetTickCount64() >= deadline)
            return false;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            continue;
        }
        DispatchMessageW(&message);
    }
    return true;
}

class Win32UiPortTest : public testing::Test {
protected:
    void SetUp() override
    {
        gCreated = 0;
        gDestroyed = 0;
        gHandled = 0;
        ASSERT_NE(window_.Handle(), nullptr) << "CreateWindowExW failed: " << GetLastError();
    }

    RecordWindow window_;
};

TEST_F(Win32UiPortTest, RecordsFromManyThreadsAreEachHandledOnceOnTheUiThread)
{
    Win32UiPort port(window_.Handle());
    constexpr int kThreads = 4;
    constexpr int kEach = 500;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t) {
        producers.emplace_back([&port] {
            for (int i = 0; i < kEach; ++i)
                port.Post(std::make_unique<CountedUnread>());
        });
    }
    for (std::thread& producer : producers)
        producer.join();
    ASSERT_TRUE(PumpUntilHandled(kThreads * kEach)) << "handled " << gHandled;
    EXPECT_EQ(gHandled, kThreads * kEach);
    EXPECT_EQ(gDestroyed.load(), kThreads * kEach);
    EXPECT_EQ(RecordMessage(RecordKind::Unread), static_cast<UINT>(WM_APP + 6));
}

TEST_F(Win32UiPortTest, ClosingFreesWhatIsQueuedAndWhatComesLater)
{
    Win32UiPort port(window_.Handle());
    for (int i = 0; i < 50; ++i)
        port.Post(std::make_unique<CountedUnread>());
    EXPECT_EQ(gDestroyed.load(), 0);

    port.Close(); // what the window does when it is destroyed
    EXPECT_EQ(gDestroyed.load(), 50);
    std::thread late([&port] { port.Post(std::make_unique<CountedUnread>()); });
    late.join();
    EXPECT_EQ(gCreated.load(), 51);
    EXPECT_EQ(gDestroyed.load(), 51);
    EXPECT_EQ(gHandled, 0);
}

TEST_F(Win32UiPortTest, ARecordForAWindowThatIsGoneIsFreedBySender)
{
    Win32UiPort port(window_.Handle());
    window_.Destroy(); // without Close: PostMessageW itself fails
    port.Post(std::make_unique<CountedUnread>());
    EXPECT_EQ(gCreated.load(), 1);
    EXPECT_EQ(gDestroyed.load(), 1);
}

TEST_F(Win32UiPortTest, DialogResultsReachOpenDialogsAndAreFreedForClosedOnes)
{
    Win32UiPort port(window_.Handle());
    RecordWindow dialog;
    const auto id = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(dialog.Handle()));
    std::thread([&port, id] { port.PostDialogResult(id, std::make_unique<CountedDetection>()); }).join();
    ASSERT_TRUE(PumpUntilHandled(1));
    EXPECT_EQ(gDestroyed.load(), 1);

    dialog.Destroy();
    std::thread([&port, id] { port.PostDialogResult(id, std::make_unique<CountedDetection>()); }).join();
    EXPECT_EQ(gCreated.load(), 2);
    EXPECT_EQ(gDestroyed.load(), 2);
    EXPECT_EQ(gHandled, 1);
}

TEST_F(Win32UiPortTest, RecordsLeftInTheQueueAreFreedAfterTheLoop)
{
    // The account dialog's announcement carries no record at all.
    ASSERT_TRUE(PostMessageW(window_.Handle(), RecordMessage(RecordKind::AccountAdded), 0, 0));
    Win32UiPort port(window_.Handle());
    for (int i = 0; i < 20; ++i)
        port.Post(std::make_unique<CountedUnread>());
    FreeQueuedRecords(nullptr);
    EXPECT_EQ(gDestroyed.load(), 20);
    MSG message{};
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_APP + 1, WM_APP + 12, PM_NOREMOVE));

    const std::unique_ptr<ResultRecord> announced = TakeRecord(RecordMessage(RecordKind::AccountAdded), 0);
    ASSERT_NE(announced, nullptr);
    EXPECT_EQ(announced->kind, RecordKind::AccountAdded);
    EXPECT_EQ(TakeRecord(WM_APP + 40, 0), nullptr);
}

} // namespace
} // namespace postern::shell
