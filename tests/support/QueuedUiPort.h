// A UiPort for tests: records go into a queue that the test thread drains in
// place of a message loop, and what the window is asked to show is kept for
// the test to look at. Closing it is the window going away: later records
// are freed on arrival, as the Win32 port does.
#pragma once

#include "app/RecordQueue.h"
#include "app/UiPort.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace postern::test {

class QueuedUiPort final : public UiPort {
public:
    struct SentAnswer {
        uint64_t composeWindow = 0;
        bool ok = false;
        std::u16string error;
    };

    void Post(std::unique_ptr<ResultRecord> record) override { (void)records_.Push(std::move(record)); }

    // Compose windows are identified by number here; those in `closedWindows`
    // have gone away and their answers are dropped.
    void PostSendResult(uint64_t composeWindow, std::unique_ptr<SendResult> result) override
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        if (!result || closedWindows_.count(composeWindow) > 0)
            return;
        sent_.push_back({composeWindow, result->ok, result->error});
    }

    // Dialogs are numbered the same way; a closed one's results are freed.
    void PostDialogResult(uint64_t dialog, std::unique_ptr<ResultRecord> record) override
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        if (!record || closedWindows_.count(dialog) > 0)
            return;
        dialogResults_.push_back({dialog, std::move(record)});
    }

    void Repaint() override { ++repaints_; }
    void ShowPage(std::u16string page) override { page_ = std::move(page); ++pagesShown_; }
    void StartTimer(unsigned timerId, unsigned) override { timers_.push_back(timerId); }
    bool SetClipboardText(const std::u16string& text) override
    {
        clipboard_ = text;
        return true;
    }
    void ShowTray(bool unread, const std::u16string& tooltip) override
    {
        trayUnread_ = unread;
        trayTip_ = tooltip;
        ++trayUpdates_;
    }

    // The next record, or nullptr when none came before the deadline.
    std::unique_ptr<ResultRecord> Next(std::chrono::milliseconds limit) { return records_.Next(limit); }

    void Close() { records_.Close(); }

    // A compose window or dialog goes away.
    void CloseComposeWindow(uint64_t window)
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        closedWindows_.insert(window);
    }

    std::vector<SentAnswer> SendAnswers()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        return sent_;
    }

    struct DialogResult {
        uint64_t dialog = 0;
        std::unique_ptr<ResultRecord> record;
    };

    // The dialog results delivered so far, handed over to the caller.
    std::vector<DialogResult> TakeDialogResults()
    {
        const std::lock_guard<std::mutex> guard(mutex_);
        return std::exchange(dialogResults_, {});
    }

    // UI thread only, like the calls that fill them.
    [[nodiscard]] int Repaints() const { return repaints_; }
    [[nodiscard]] const std::u16string& Page() const { return page_; }
    [[nodiscard]] int PagesShown() const { return pagesShown_; }
    [[nodiscard]] const std::vector<unsigned>& Timers() const { return timers_; }
    [[nodiscard]] const std::u16string& Clipboard() const { return clipboard_; }
    [[nodiscard]] bool TrayUnread() const { return trayUnread_; }
    [[nodiscard]] const std::u16string& TrayTip() const { return trayTip_; }
    [[nodiscard]] int TrayUpdates() const { return trayUpdates_; }

private:
    RecordQueue records_;
    std::mutex mutex_; // for the answers, which come from other threads
    std::set<uint64_t> closedWindows_;
    std::vector<SentAnswer> sent_;
    std::vector<DialogResult> dialogResults_;
    int repaints_ = 0;
    std::u16string page_;
    int pagesShown_ = 0;
    std::vector<unsigned> timers_;
    std::u16string clipboard_;
    bool trayUnread_ = false;
    std::u16string trayTip_;
    int trayUpdates_ = 0;
};

} // namespace postern::test
