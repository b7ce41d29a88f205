// The UI port of the main window: records travel as private window messages
// with the record's address in lParam, and repainting invalidates the window.
#pragma once

#include "app/UiPort.h"
#include "shell/ReadingBody.h"
#include "shell/TrayIcon.h"

#include <windows.h>

#include <mutex>

namespace postern::shell {

class Win32UiPort final : public UiPort {
public:
    explicit Win32UiPort(HWND window) : window_(window) {}

    // Any thread. The record belongs to the window from a successful
    // PostMessageW on; when the window is closed or the post fails, the
    // record is freed here.
    void Post(std::unique_ptr<ResultRecord> record) override;
    void PostSendResult(uint64_t composeWindow, std::unique_ptr<SendResult> result) override;
    void PostDialogResult(uint64_t dialog, std::unique_ptr<ResultRecord> record) override;
    void Repaint() override;
    void ShowPage(std::u16string page) override;
    void StartTimer(unsigned timerId, unsigned periodMs) override;
    bool SetClipboardText(const std::u16string& text) override;
    void ShowTray(bool unread, const std::u16string& tooltip) override;

    // UI thread. The notification-area icon that ShowTray updates.
    void AttachTray(TrayIcon& tray) { tray_ = &tray; }
    // UI thread. The reading pane's body that ShowPage fills.
    void AttachBody(ReadingBody& body) { body_ = &body; }

    // UI thread, while the window is being destroyed: nothing is posted to
    // it from here on, and the records already queued for it are freed.
    void Close();

    // What the reading pane and the notification area are to show.
    [[nodiscard]] const std::u16string& Page() const { return page_; }
    [[nodiscard]] bool TrayUnread() const { return trayUnread_; }
    [[nodiscard]] const std::u16string& TrayTip() const { return trayTip_; }

private:
    std::mutex lock_;
    HWND window_;
    std::u16string page_;
    TrayIcon* tray_ = nullptr;
    ReadingBody* body_ = nullptr;
    bool trayUnread_ = false;
    std::u16string trayTip_;
};

// The message number a record travels under.
[[nodiscard]] UINT RecordMessage(RecordKind kind);

// Takes back the record a private message carries; nullptr when the message
// is not one of the record messages (or carries none).
[[nodiscard]] std::unique_ptr<ResultRecord> TakeRecord(UINT message, LPARAM lParam);

// Frees the records still queued on this thread (for `window`, or for any
// window when it is null), so that none is lost when its window goes away.
void FreeQueuedRecords(HWND window);

} // namespace postern::shell
