#include "shell/Win32UiPort.h"

namespace postern::shell {

namespace {

// A queue holds at most 10000 messages, so this drains any queue there is.
constexpr int kMaxQueuedMessages = 10000;

} // namespace

UINT RecordMessage(RecordKind kind)
{
    return WM_APP + RecordOffset(kind);
}

std::unique_ptr<ResultRecord> TakeRecord(UINT message, LPARAM lParam)
{
    RecordKind kind{};
    if (message < WM_APP || !RecordKindFromOffset(message - WM_APP, kind))
        return nullptr;
    std::unique_ptr<ResultRecord> record(reinterpret_cast<ResultRecord*>(lParam));
    // The account dialog announces a new account without a record.
    if (!record && kind == RecordKind::AccountAdded)
        record = std::make_unique<AccountAddedRecord>();
    return record;
}

void FreeQueuedRecords(HWND window)
{
    MSG message{};
    for (int i = 0; i < kMaxQueuedMessages; ++i) {
        if (!PeekMessageW(&message, window, WM_APP + kFirstRecordOffset, WM_APP + kLastRecordOffset, PM_REMOVE))
            return;
        TakeRecord(message.message, message.lParam).reset();
    }
}

void Win32UiPort::Post(std::unique_ptr<ResultRecord> record)
{
    if (!record)
        return;
    // Held across PostMessageW so that Close() cannot slip in between the
    // check and the post and leave a record in a queue nobody drains.
    const std::lock_guard<std::mutex> guard(lock_);
    if (!window_)
        return;
    if (PostMessageW(window_, RecordMessage(record->kind), 0, reinterpret_cast<LPARAM>(record.get())))
        (void)record.release();
}

void Win32UiPort::Repaint()
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (window_)
        InvalidateRect(window_, nullptr, FALSE);
}

void Win32UiPort::Close()
{
    HWND window = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        window = window_;
        window_ = nullptr;
    }
    if (window)
        FreeQueuedRecords(window);
}

} // namespace postern::shell
