// UiPort: everything the core asks of the window it runs in. The Win32 shell
// implements it with window messages, timers, the clipboard and the embedded
// browser; tests implement it with a queue their own thread drains and a
// record of what the window was asked to show, so the core runs without a
// window.
#pragma once

#include "app/ResultRecords.h"

#include <cstdint>
#include <memory>
#include <string>

namespace postern {

class UiPort {
public:
    virtual ~UiPort() = default;

    // Any thread. Hands the record to the UI thread, which calls
    // PosternApp::HandleRecord with it. The port owns the record from here:
    // a record that can no longer be delivered (the window is gone) is freed
    // by the port, never leaked.
    virtual void Post(std::unique_ptr<ResultRecord> record) = 0;

    // Any thread. The answer to a compose window's send request. A window
    // that has closed in the meantime is not touched; the record is freed.
    virtual void PostSendResult(uint64_t composeWindow, std::unique_ptr<SendResult> result) = 0;

    // Any thread. A result for a dialog beside the main window (the account
    // dialog's detection or sign-in). A dialog that has closed in the
    // meantime is not touched; the record is freed.
    virtual void PostDialogResult(uint64_t dialog, std::unique_ptr<ResultRecord> record) = 0;

    // UI thread. The window shows state that changed; paint it again.
    virtual void Repaint() = 0;

    // UI thread. The reading pane shows this page; an empty text is the
    // empty page.
    virtual void ShowPage(std::u16string page) = 0;

    // UI thread. Starts (or restarts) one of the window's timers.
    virtual void StartTimer(unsigned timerId, unsigned periodMs) = 0;

    // UI thread. Puts the text on the clipboard; false when it is busy.
    virtual bool SetClipboardText(const std::u16string& text) = 0;

    // UI thread. The notification-area icon shows unread mail (or none) with
    // this tooltip.
    virtual void ShowTray(bool unread, const std::u16string& tooltip) = 0;
};

} // namespace postern
