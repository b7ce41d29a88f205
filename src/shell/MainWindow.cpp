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

// The window procedure reaches the one main window through this; until it
// is set every message goes to DefWindowProcW.
MainWindow* g_mainWindow = nullptr;

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
    g_mainWindow = this;
    if (!Create(instance)) {
        g_mainWindow = nullptr;
        surface_.Release();
        return 1;
    }
    port_ = std::make_unique<Win32UiPort>(window_);
    app_.AttachUi(*port_);

    RestoreSavedRect(window_, app_.Settings());
    UseDarkTitleBar(window_);
    app_.SetScale(static_cast<float>(GetDpiForWindow(window_)) / 96.0f);
    UseDarkMenus();
    // Made before the window shows: under Wine a frame presented by a swap
    // chain that the first paint itself created can be lost, and the window
    // stays black until something else repaints it.
    (void)surface_.Prepare(window_);
    ShowWindow(window_, app_.Settings().maximized ? SW_SHOWMAXIMIZED : showCommand);
    app_.WindowPlaced();

    int exitCode = 0;
    if (app_.StartWorker(error)) {
        SetTimer(window_, kRefreshTimer, kRefreshTimerMs, nullptr);
        SetTimer(window_, kAutoSelectTimer, kAutoSelectTimerMs, nullptr);
        app_.StartAccounts();
        RunMessageLoop();
    } else {
        exitCode = 1;
        DestroyWindow(window_);
    }

    app_.Shutdown(); // joins the worker, then saves the settings
    // Whatever the worker posted before its port closed and nobody took.
    FreeQueuedRecords(nullptr);
    surface_.Release();
    g_mainWindow = nullptr;
    return exitCode;
}

bool MainWindow::Create(HINSTANCE instance)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = WindowProc;
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
    const HWND window = CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                        CW_USEDEFAULT, CW_USEDEFAULT, MulDiv(kDefaultWindowWidth, dpi, 96),
                                        MulDiv(kDefaultWindowHeight, dpi, 96), nullptr, nullptr, instance,
                                        nullptr);
    if (!window)
        return false;
    window_ = window;
    return true;
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

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MainWindow* self = g_mainWindow;
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    // Messages arrive during CreateWindowExW, before it returns the handle.
    if (!self->window_)
        self->window_ = window;
    if (window != self->window_)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
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
            KillTimer(window_, wParam);
        return 0;
    default:
        break;
    }
    if (std::unique_ptr<ResultRecord> record = TakeRecord(message, lParam)) {
        app_.HandleRecord(std::move(record));
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::OnDestroy()
{
    KillTimer(window_, kRefreshTimer);
    KillTimer(window_, kAutoSelectTimer);
    // From here on records for this window are freed by their senders; the
    // ones already queued are freed now, while the window still exists.
    if (port_)
        port_->Close();
    PostQuitMessage(0);
}

void MainWindow::OnSize(WPARAM kind, LPARAM size)
{
    surface_.Resize(LOWORD(size), HIWORD(size));
    InvalidateRect(window_, nullptr, FALSE);
    app_.OnSize(SizeChangeOf(kind), CurrentPlacement());
}

void MainWindow::OnDpiChanged(WPARAM dpi, const RECT& suggested)
{
    app_.SetScale(static_cast<float>(HIWORD(dpi)) / 96.0f);
    SetWindowPos(window_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::OnPaint()
{
    PAINTSTRUCT paint{};
    if (!BeginPaint(window_, &paint))
        return;
    surface_.Paint(window_);
    EndPaint(window_, &paint);
}

std::optional<WindowPlacementState> MainWindow::CurrentPlacement() const
{
    WindowPlacementState state;
    if (!ReadPlacement(window_, state))
        return std::nullopt;
    return state;
}

} // namespace postern::shell
