#include "shell/MainWindow.h"

#include "platform/Charset.h"
#include "shell/Keys.h"
#include "shell/WideText.h"
#include "shell/WindowPlacement.h"
#include "shell/WindowTheme.h"

#include <cderr.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace postern::shell {

namespace {

constexpr wchar_t kClassName[] = L"PosternMain";
constexpr wchar_t kTitle[] = L"Postern";
constexpr int kIconResource = 1;
// While the notification area refuses the icon (at log-on, before the
// taskbar exists), it is offered again this often.
constexpr unsigned kTrayRetryTimer = 7;
constexpr unsigned kTrayRetryTimerMs = 2000;

constexpr wchar_t kAboutTitle[] = L"About Postern";
constexpr wchar_t kAboutText[] = L"Postern 0.1 by Halvorsoft\n"
                                 L"A native mail client for Windows.\n\n"
                                 L"Built on the Windows API, Direct2D and Schannel.";

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
    if (!EnsureAccount(instance))
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
    if (menuBar_.Create(Handle(), scale)) {
        RebuildAccountsMenu();
        menuBar_.SetConversationsChecked(app_.ConversationMode());
    }
    (void)filterBox_.Create(Handle(), instance, scale);
    body_.Create(Handle(), instance, scale);
    port_->AttachBody(body_);
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
    RestartIfAsked();
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
                     instance) != nullptr;
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
    case WM_LBUTTONDOWN:
        SetFocus(Handle()); // out of the filter box: the keys go to the list
        Apply(app_.OnButtonDown(static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)),
                                {(wParam & MK_CONTROL) != 0, (wParam & MK_SHIFT) != 0}));
        return 0;
    case WM_LBUTTONUP:
        Apply(app_.OnButtonUp());
        return 0;
    case WM_LBUTTONDBLCLK:
        app_.OnDoubleClick(static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)),
                           [this](std::u16string_view label, bool header) {
                               return surface_.MeasureText(label, header ? SceneFont::small : SceneFont::body);
                           });
        return 0;
    case WM_RBUTTONDOWN:
        SetFocus(Handle());
        app_.OnRightButtonDown(static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)));
        return 0;
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, Handle(), 0};
            trackingLeave_ = TrackMouseEvent(&track) != FALSE;
        }
        Apply(app_.OnMouseMove(static_cast<float>(GET_X_LPARAM(lParam)), static_cast<float>(GET_Y_LPARAM(lParam)),
                               (wParam & MK_LBUTTON) != 0));
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        app_.OnMouseLeave();
        return 0;
    case WM_MOUSEWHEEL: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(Handle(), &point);
        app_.OnWheel(static_cast<float>(point.x), static_cast<float>(point.y),
                     static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)));
        return 0;
    }
    case WM_SETCURSOR: {
        LRESULT result = 0;
        OnSetCursor(lParam, result);
        if (result)
            return result;
        break;
    }
    case WM_CAPTURECHANGED:
        // Another window took the mouse (a menu, a message box, Alt+Tab):
        // whatever was being dragged is dropped nowhere.
        if (reinterpret_cast<HWND>(lParam) != Handle())
            (void)app_.CancelPress();
        return 0;
    case WM_CANCELMODE:
        if (app_.CancelPress())
            ReleaseCapture();
        break;
    case WM_KEYDOWN:
        OnKeyDown(wParam, GetKeyState(VK_CONTROL) < 0);
        return 0;
    case kBodyKeyMessage:
        // A key pressed in the browser's page. Esc gives the keyboard back
        // to the list, as Tab out of the page does.
        if (wParam == VK_ESCAPE)
            SetFocus(Handle());
        else
            OnKeyDown(wParam, lParam != 0);
        return 0;
    case WM_CONTEXTMENU:
        OnContextMenu(lParam);
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
        if (LRESULT result = 0; menuBar_.HandleMessage(message, wParam, lParam, result))
            return result;
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
    body_.Close();
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
    body_.Place(app_.BodyArea());
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::OnDpiChanged(WPARAM dpi, const RECT& suggested)
{
    const float scale = static_cast<float>(HIWORD(dpi)) / 96.0f;
    app_.SetScale(scale);
    std::string error;
    (void)surface_.SetScale(scale, error); // the old formats stay when new ones cannot be made
    filterBox_.SetScale(scale);
    body_.SetScale(scale);
    menuBar_.SetScale(scale);
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
    // The body follows the reading header, whose height the frame just set.
    body_.Place(app_.BodyArea());
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
    RunCommand(static_cast<int>(id));
}

void MainWindow::RunCommand(int id)
{
    if (const std::optional<AccountCommand> account = AccountCommandOf(id)) {
        if (account->action == AccountAction::remove)
            RemoveAccount(account->account);
        else
            OpenAccountDialog(static_cast<int32_t>(account->account));
        return;
    }
    switch (id) {
    case command::addAccount:
        OpenAccountDialog(-1);
        return;
    case command::trayOpen:
        BringBack();
        return;
    case command::exit:
    case command::trayExit:
        DestroyWindow(Handle());
        return;
    case command::about:
        ShowAbout();
        return;
    default:
        break;
    }
    if (app_.RunCommand(id) && id == command::conversations)
        menuBar_.SetConversationsChecked(app_.ConversationMode());
}

void MainWindow::OnKeyDown(WPARAM key, bool ctrl)
{
    if (key == VK_ESCAPE) {
        if (app_.CancelPress())
            ReleaseCapture();
        return;
    }
    const KeyAction action = ActionForKey(KeyOf(key), ctrl);
    switch (action.kind) {
    case KeyAction::Kind::listKey:
        app_.OnListKey(action.listKey);
        break;
    case KeyAction::Kind::command:
        RunCommand(action.command);
        break;
    case KeyAction::Kind::focusFilter:
        filterBox_.FocusAndSelectAll();
        break;
    case KeyAction::Kind::none:
        break;
    }
}

void MainWindow::OnContextMenu(LPARAM screenPoint)
{
    const int x = GET_X_LPARAM(screenPoint);
    const int y = GET_Y_LPARAM(screenPoint);
    ContextMenuRequest menu;
    if (x == -1 && y == -1) {
        menu = app_.KeyboardContextMenu();
    } else {
        POINT client{x, y};
        ScreenToClient(Handle(), &client);
        menu = app_.ContextMenuAt(static_cast<float>(client.x), static_cast<float>(client.y));
    }
    if (menu.target == ContextMenuRequest::Target::none)
        return;
    POINT at{static_cast<LONG>(menu.at.x), static_cast<LONG>(menu.at.y)};
    ClientToScreen(Handle(), &at);
    const int chosen = TrackEntries(Handle(), menu.entries, at);
    if (chosen != 0 && IsWindow(Handle()))
        app_.RunContextCommand(menu, chosen);
}

void MainWindow::Apply(const PointerReply& reply)
{
    if (reply.capture == PointerCapture::take)
        SetCapture(Handle());
    else if (reply.capture == PointerCapture::release && GetCapture() == Handle())
        ReleaseCapture();
    if (reply.cursor)
        SetCursor(LoadCursorW(nullptr, *reply.cursor == PointerCursor::no ? IDC_NO : IDC_ARROW));
    if (reply.clearFilterBox)
        filterBox_.Clear();
    if (reply.command != 0)
        RunCommand(reply.command);
    if (reply.saveAttachment)
        SaveAttachment(*reply.saveAttachment);
}

void MainWindow::OnSetCursor(LPARAM hitTest, LRESULT& result)
{
    if (LOWORD(hitTest) != HTCLIENT)
        return;
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(Handle(), &point);
    const PointerCursor cursor = app_.CursorAt(static_cast<float>(point.x), static_cast<float>(point.y));
    if (cursor == PointerCursor::standard)
        return;
    const wchar_t* shape = cursor == PointerCursor::sizeWestEast ? IDC_SIZEWE
                           : cursor == PointerCursor::no         ? IDC_NO
                                                                 : IDC_ARROW;
    SetCursor(LoadCursorW(nullptr, shape));
    result = TRUE;
}

void MainWindow::SaveAttachment(const AttachmentRef& attachment)
{
    std::wstring name = Wide(app_.AttachmentFileName(attachment));
    if (name.empty())
        name = L"attachment.bin";
    // Room for the longest path the file system takes; a longer choice is
    // refused by the dialog rather than cut into another name.
    std::vector<wchar_t> path(32768, L'\0');
    name.copy(path.data(), std::min(name.size(), path.size() - 1));
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = L"All files\0*\0";
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = static_cast<DWORD>(path.size());
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    const HWND self = Handle();
    const BOOL chosen = GetSaveFileNameW(&dialog);
    if (!IsWindow(self))
        return;
    if (!chosen) {
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            app_.ShowStatus(u"That path is too long; the attachment was not saved.");
        return;
    }
    const std::wstring chosenPath(path.data());
    app_.SaveAttachmentTo(attachment, std::filesystem::path(chosenPath));
}

void MainWindow::ShowAbout()
{
    MessageBoxW(Handle(), kAboutText, kAboutTitle, MB_OK | MB_ICONINFORMATION);
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
