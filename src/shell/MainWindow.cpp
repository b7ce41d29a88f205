#include "shell/MainWindow.h"

#include "shell/WindowPlacement.h"
#include "shell/WindowTheme.h"

#include <optional>
#include <string>

namespace postern::shell {

namespace {

constexpr wchar_t kClassName[] = L"PosternMain";
constexpr wchar_t kTitle[] = L"Postern";
constexpr int kIconResource = 1;
// While the notification area refuses the icon (at log-on, before the
// taskbar exists), it is offered again this often.
constexpr unsigned kTrayRetryTimer = 7;
constexpr unsigned kTrayRetryTimerMs = 2000;

SizeChange SizeChangeOf(WPARAM kind)
{
    switch (kind) {
    case SIZE_RESTORED:
        return SizeChange::restored;
    case SIZE_MINIMIZED:
        return SizeChange::minimized;
    case SIZE_MAXIMIZED:
        return SizeChange::maximized;
    default:
        return SizeChange::other;
    }
}

} // namespace

int MainWindow::Run(HINSTANCE instance, int showCommand)
{
    if (!app_.LoadSettings())
        return 0; // nothing to show, and nothing written
    app_.PrepareState();

    std::string error;
    if (!surface_.CreateFactory(error))
        return 1;
    if (!Create(instance)) {
        surface_.Release();
        return 1;
    }
    port_ = std::make_unique<Win32UiPort>(Handle());
    app_.AttachUi(*port_);

    RestoreSavedRect(Handle(), app_.Settings());
    UseDarkTitleBar(Handle());
    const float scale = static_cast<float>(GetDpiForWindow(Handle())) / 96.0f;
    app_.SetScale(scale);
    (void)surface_.SetScale(scale, error); // without formats the window shows no text, but works
    UseDarkMenus();
    (void)filterBox_.Create(Handle(), instance, scale);
    if (!tray_.Create(Handle()) || !tray_.Added())
        SetTimer(Handle(), kTrayRetryTimer, kTrayRetryTimerMs, nullptr);
    port_->AttachTray(tray_);
    Relayout();
    ShowWindow(Handle(), app_.Settings().maximized ? SW_SHOWMAXIMIZED : showCommand);
    app_.WindowPlaced();

    int exitCode = 0;
    if (app_.StartWorker(error)) {
        SetTimer(Handle(), kRefreshTimer, kRefreshTimerMs, nullptr);
        SetTimer(Handle(), kAutoSelectTimer, kAutoSelectTimerMs, nullptr);
        app_.StartAccounts();
        RunMessageLoop();
    } else {
        exitCode = 1;
        DestroyWindow(Handle());
    }

    app_.Shutdown(); // joins the worker, then saves the settings
    // Whatever the worker posted before its port closed and nobody took.
    FreeQueuedRecords(nullptr);
    surface_.Release();
    return exitCode;
}

bool MainWindow::Create(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowBase::WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass))
        return false;

    // The default size is in units: on a high-DPI screen 1280 pixels would
    // make a small window. Where it opens is the system's choice, and its
    // DPI is not known before; the system DPI is the best guess, and a
    // WM_DPICHANGED corrects it.
    const UINT dpi = GetDpiForSystem();
    return CreateFor(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                     MulDiv(kDefaultWindowWidth, dpi, 96), MulDiv(kDefaultWindowHeight, dpi, 96), nullptr,
                     instance)
           != nullptr;
}

void MainWindow::RunMessageLoop()
{
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1)
            return;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_MOVE:
        app_.OnMove(CurrentPlacement());
        return 0;
    case WM_SIZE:
        OnSize(wParam);
        return 0;
    case WM_ENTERSIZEMOVE:
        app_.OnEnterSizeMove();
        return 0;
    case WM_EXITSIZEMOVE:
        app_.OnExitSizeMove(CurrentPlacement());
        return 0;
    case WM_DPICHANGED:
        OnDpiChanged(wParam, *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_ERASEBKGND:
        return 1; // the whole client area is painted with Direct2D
    case WM_GETMINMAXINFO:
        OnMinMaxInfo(*reinterpret_cast<MINMAXINFO*>(lParam));
        return 0;
    case WM_CTLCOLOREDIT:
        if (reinterpret_cast<HWND>(lParam) == filterBox_.Handle())
            return reinterpret_cast<LRESULT>(filterBox_.Colours(reinterpret_cast<HDC>(wParam)));
        break;
    case WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case kGlobalSearchMessage:
        app_.StartGlobalSearch();
        return 0;
    case kTrayCallbackMessage:
        OnTrayMessage(lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kTrayRetryTimer) {
            if (tray_.Retry())
                KillTimer(Handle(), kTrayRetryTimer);
            return 0;
        }
        if (app_.OnTimer(static_cast<unsigned>(wParam)))
            KillTimer(Handle(), wParam);
        return 0;
    default:
        if (message != 0 && message == tray_.TaskbarCreatedMessage()) {
            if (!tray_.Restore())
                SetTimer(Handle(), kTrayRetryTimer, kTrayRetryTimerMs, nullptr);
            return 0;
        }
        break;
    }
    if (std::unique_ptr<ResultRecord> record = TakeRecord(message, lParam)) {
        app_.HandleRecord(std::move(record));
        return 0;
    }
    return DefWindowProcW(Handle(), message, wParam, lParam);
}

void MainWindow::OnDestroy()
{
    KillTimer(Handle(), kRefreshTimer);
    KillTimer(Handle(), kAutoSelectTimer);
    KillTimer(Handle(), kTrayRetryTimer);
    tray_.Remove();
    // From here on records for this window are freed by their senders; the
    // ones already queued are freed now, while the window still exists.
    if (port_)
        port_->Close();
    PostQuitMessage(0);
}

void MainWindow::OnSize(WPARAM kind)
{
    Relayout();
    app_.OnSize(SizeChangeOf(kind), CurrentPlacement());
}

void MainWindow::Relayout()
{
    RECT client{};
    GetClientRect(Handle(), &client);
    app_.SetClientSize(static_cast<float>(client.right - client.left), static_cast<float>(client.bottom - client.top));
    filterBox_.Place(PlaceFilterBox(app_.Metrics()));
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::OnDpiChanged(WPARAM dpi, const RECT& suggested)
{
    const float scale = static_cast<float>(HIWORD(dpi)) / 96.0f;
    app_.SetScale(scale);
    std::string error;
    (void)surface_.SetScale(scale, error); // the old formats stay when new ones cannot be made
    filterBox_.SetScale(scale);
    // Moving the window sends WM_SIZE, which lays the panes out again.
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnPaint()
{
    PAINTSTRUCT paint{};
    if (!BeginPaint(Handle(), &paint))
        return;
    surface_.Paint(Handle(), paint.hdc, app_.BuildScene(filterBox_.HasFocus()).scene);
    EndPaint(Handle(), &paint);
}

void MainWindow::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    if (lParam != 0 && reinterpret_cast<HWND>(lParam) == filterBox_.Handle()) {
        if (id == kFilterBoxId && code == EN_CHANGE)
            app_.FilterChanged(filterBox_.Text());
        return;
    }
    switch (id) {
    case kCommandOpen:
        BringBack();
        break;
    case kCommandExit:
        DestroyWindow(Handle());
        break;
    default:
        break;
    }
}

void MainWindow::OnTrayMessage(LPARAM mouseMessage)
{
    switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        BringBack();
        break;
    case WM_RBUTTONUP:
        // No compose window exists yet to open.
        tray_.ShowMenu(false);
        break;
    default:
        break;
    }
}

void MainWindow::BringBack()
{
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(Handle());
}

void MainWindow::OnMinMaxInfo(MINMAXINFO& info) const
{
    // Small enough for any screen, large enough for a row and a folder name.
    const UINT dpi = Handle() ? GetDpiForWindow(Handle()) : GetDpiForSystem();
    info.ptMinTrackSize.x = MulDiv(static_cast<int>(kMinimumWindowWidth), static_cast<int>(dpi), 96);
    info.ptMinTrackSize.y = MulDiv(static_cast<int>(kMinimumWindowHeight), static_cast<int>(dpi), 96);
}

std::optional<WindowPlacementState> MainWindow::CurrentPlacement() const
{
    WindowPlacementState state;
    if (!ReadPlacement(Handle(), state))
        return std::nullopt;
    return state;
}

} // namespace postern::shell
