#include "shell/Win32UiPort.h"

#include <cstring>

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

namespace {

// A window that has closed since it asked is not touched; the record stays
// with the caller, which frees it. A window that closes after the post frees
// what is queued for it (FreeQueuedRecords) while it is destroyed.
bool PostToWindow(uint64_t window, ResultRecord& record)
{
    HWND target = reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
    return target && IsWindow(target)
           && PostMessageW(target, RecordMessage(record.kind), 0, reinterpret_cast<LPARAM>(&record));
}

} // namespace

void Win32UiPort::PostSendResult(uint64_t composeWindow, std::unique_ptr<SendResult> result)
{
    if (result && PostToWindow(composeWindow, *result))
        (void)result.release();
}

void Win32UiPort::PostDialogResult(uint64_t dialog, std::unique_ptr<ResultRecord> record)
{
    if (record && PostToWindow(dialog, *record))
        (void)record.release();
}

void Win32UiPort::ShowPage(std::u16string page)
{
    // The newest page is kept for a reading pane that is not ready yet.
    page_ = std::move(page);
    if (body_)
        body_->ShowPage(page_);
}

void Win32UiPort::StartTimer(unsigned timerId, unsigned periodMs)
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (window_)
        SetTimer(window_, timerId, periodMs, nullptr);
}

bool Win32UiPort::SetClipboardText(const std::u16string& text)
{
    HWND window = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        window = window_;
    }
    if (!window || !OpenClipboard(window))
        return false;
    EmptyClipboard();
    bool placed = false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
        if (void* target = GlobalLock(block)) {
            memcpy(target, text.c_str(), bytes);
            GlobalUnlock(block);
            placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
        }
        if (!placed)
            GlobalFree(block); // the clipboard owns the block only once it took it
    }
    CloseClipboard();
    return placed;
}

void Win32UiPort::ShowTray(bool unread, const std::u16string& tooltip)
{
    trayUnread_ = unread;
    trayTip_ = tooltip;
    if (tray_)
        tray_->Show(unread, std::wstring(tooltip.begin(), tooltip.end()));
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
    tray_ = nullptr; // removed with the window
    if (window)
        FreeQueuedRecords(window);
}

} // namespace postern::shell
