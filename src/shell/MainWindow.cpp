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
    app_.SetScale(static_cast<float>(GetDpiForWindow(Handle())) / 96.0f);
    UseDarkMenus();
    // Made before the window shows: under Wine a frame presented by a swap
    // chain that the first paint itself created can be lost, and the window
    // stays black until something else repaints it.
    (void)surface_.Prepare(Handle());
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
        OnSize(wParam, lParam);
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
    case WM_TIMER:
        if (app_.OnTimer(static_cast<unsigned>(wParam)))
            KillTimer(Handle(), wParam);
        return 0;
    default:
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
    // From here on records for this window are freed by their senders; the
    // ones already queued are freed now, while the window still exists.
    if (port_)
        port_->Close();
    PostQuitMessage(0);
}

void MainWindow::OnSize(WPARAM kind, LPARAM size)
{
    surface_.Resize(LOWORD(size), HIWORD(size));
    InvalidateRect(Handle(), nullptr, FALSE);
    app_.OnSize(SizeChangeOf(kind), CurrentPlacement());
}

void MainWindow::OnDpiChanged(WPARAM dpi, const RECT& suggested)
{
    app_.SetScale(static_cast<float>(HIWORD(dpi)) / 96.0f);
    SetWindowPos(Handle(), nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnPaint()
{
    PAINTSTRUCT paint{};
    if (!BeginPaint(Handle(), &paint))
        return;
    surface_.Paint(Handle());
    EndPaint(Handle(), &paint);
}

std::optional<WindowPlacementState> MainWindow::CurrentPlacement() const
{
    WindowPlacementState state;
    if (!ReadPlacement(Handle(), state))
        return std::nullopt;
    return state;
}

} // namespace postern::shell
