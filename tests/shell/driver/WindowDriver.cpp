// Drives the main window of postern.exe from outside, for the window tests:
// finds it, moves, sizes, maximizes, minimizes and closes it, and prints what
// the window system says about it. Runs in the same Wine prefix as the
// program. Every wait polls with a deadline.
//
//   window-driver find MS        wait for the visible main window, print it
//   window-driver state          print it now (exit 1 when there is none)
//   window-driver move X Y W H   SetWindowPos
//   window-driver show maximize|minimize|restore
//   window-driver enter-sizemove | exit-sizemove   bracket a drag
//   window-driver close          post WM_CLOSE
//   window-driver gone MS        wait until no main window exists
//   window-driver click X Y      a left click at client X Y, through SendInput
//   window-driver type TEXT      types TEXT into the focused control (SendInput)
//   window-driver key esc|enter  presses and releases the key (SendInput)
//   window-driver tray-delete    takes the window's notification icon away, as
//                                an Explorer that restarts does
//   window-driver taskbar-created  tells the window the taskbar is back
//   window-driver frames N       repaints the window N times, prints the mean
//                                time of a frame: "frames N mean-ms M"
//
// Printed line: "window L T R B client L T R B zoomed Z iconic I" (screen
// coordinates; the client rectangle too).
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kClassName[] = L"PosternMain";
constexpr wchar_t kTitle[] = L"Postern";
constexpr DWORD kPollMs = 20;

HWND FindMain()
{
    return FindWindowW(kClassName, kTitle);
}

// Polls `condition` until it holds or `limitMs` passed.
template <typename Condition>
bool PollUntil(Condition condition, unsigned long limitMs)
{
    const ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

bool Number(const wchar_t* text, long& value)
{
    wchar_t* end = nullptr;
    value = std::wcstol(text, &end, 10);
    return end && end != text && *end == L'\0';
}

int PrintState(HWND window)
{
    RECT outer{};
    RECT client{};
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client))
        return 1;
    POINT topLeft{client.left, client.top};
    POINT bottomRight{client.right, client.bottom};
    ClientToScreen(window, &topLeft);
    ClientToScreen(window, &bottomRight);
    std::printf("window %ld %ld %ld %ld client %ld %ld %ld %ld zoomed %d iconic %d\n", outer.left, outer.top,
                outer.right, outer.bottom, topLeft.x, topLeft.y, bottomRight.x, bottomRight.y,
                IsZoomed(window) ? 1 : 0, IsIconic(window) ? 1 : 0);
    std::fflush(stdout);
    return 0;
}

int Usage()
{
    std::fputs("usage: window-driver find MS | state | move X Y W H | show maximize|minimize|restore\n"
               "       | enter-sizemove | exit-sizemove | close | gone MS | click X Y | type TEXT\n"
               "       | key esc|enter | tray-delete | taskbar-created | frames N\n",
               stderr);
    return 2;
}

bool Send(std::initializer_list<INPUT> inputs)
{
    std::vector<INPUT> list(inputs);
    return SendInput(static_cast<UINT>(list.size()), list.data(), sizeof(INPUT)) == list.size();
}

INPUT Key(WORD vk, WORD scan, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = scan;
    input.ki.dwFlags = flags;
    return input;
}

int Click(HWND window, long x, long y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    SetForegroundWindow(window);
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>((point.x * 65535 + width / 2) / (width - 1));
    move.mi.dy = static_cast<LONG>((point.y * 65535 + height / 2) / (height - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    INPUT down{};
    down.type = INPUT_MOUSE;
    down.mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    INPUT up{};
    up.type = INPUT_MOUSE;
    up.mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return Send({move, down, up}) ? 0 : 1;
}

int Type(const std::wstring& text)
{
    for (const wchar_t c : text) {
        if (!Send({Key(0, c, KEYEVENTF_UNICODE), Key(0, c, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}))
            return 1;
        Sleep(15); // one character at a time, as typed
    }
    return 0;
}

int Frames(HWND window, long count)
{
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    LARGE_INTEGER end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (long i = 0; i < count; ++i)
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    QueryPerformanceCounter(&end);
    const double ms = static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 /
                      static_cast<double>(frequency.QuadPart) / static_cast<double>(count);
    std::printf("frames %ld mean-ms %.3f\n", count, ms);
    return 0;
}

int Run(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring command = argv[1];
    long limit = 0;

    if (command == L"find" || command == L"gone") {
        if (argc != 3 || !Number(argv[2], limit) || limit < 0)
            return Usage();
        if (command == L"gone")
            return PollUntil([] { return FindMain() == nullptr; }, static_cast<unsigned long>(limit)) ? 0 : 1;
        HWND found = nullptr;
        const bool visible = PollUntil(
            [&found] {
                found = FindMain();
                return found && IsWindowVisible(found);
            },
            static_cast<unsigned long>(limit));
        if (!visible) {
            std::fputs("no visible main window\n", stderr);
            return 1;
        }
        return PrintState(found);
    }

    const HWND window = FindMain();
    if (!window) {
        std::fputs("no main window\n", stderr);
        return 1;
    }
    if (command == L"state")
        return PrintState(window);
    if (command == L"move") {
        long x = 0, y = 0, w = 0, h = 0;
        if (argc != 6 || !Number(argv[2], x) || !Number(argv[3], y) || !Number(argv[4], w) || !Number(argv[5], h))
            return Usage();
        return SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    if (command == L"show" && argc == 3) {
        const std::wstring how = argv[2];
        const int show = how == L"maximize" ? SW_MAXIMIZE
                         : how == L"minimize" ? SW_MINIMIZE
                         : how == L"restore"  ? SW_RESTORE
                                              : -1;
        if (show < 0)
            return Usage();
        ShowWindow(window, show);
        const bool reached = PollUntil(
            [window, show] {
                if (show == SW_MAXIMIZE)
                    return IsZoomed(window) != FALSE;
                if (show == SW_MINIMIZE)
                    return IsIconic(window) != FALSE;
                return !IsZoomed(window) && !IsIconic(window);
            },
            5000);
        return reached ? 0 : 1;
    }
    if (command == L"enter-sizemove") {
        SendMessageW(window, WM_ENTERSIZEMOVE, 0, 0);
        return 0;
    }
    if (command == L"exit-sizemove") {
        SendMessageW(window, WM_EXITSIZEMOVE, 0, 0);
        return 0;
    }
    if (command == L"close")
        return PostMessageW(window, WM_CLOSE, 0, 0) ? 0 : 1;
    if (command == L"click") {
        long x = 0, y = 0;
        if (argc != 4 || !Number(argv[2], x) || !Number(argv[3], y))
            return Usage();
        return Click(window, x, y);
    }
    if (command == L"type" && argc == 3)
        return Type(argv[2]);
    if (command == L"key" && argc == 3) {
        const std::wstring name = argv[2];
        const WORD vk = name == L"esc" ? VK_ESCAPE : name == L"enter" ? VK_RETURN : 0;
        if (!vk)
            return Usage();
        return Send({Key(vk, 0, 0), Key(vk, 0, KEYEVENTF_KEYUP)}) ? 0 : 1;
    }
    if (command == L"tray-delete") {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = window;
        data.uID = 1;
        return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 1;
    }
    if (command == L"taskbar-created")
        return SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0), 0;
    if (command == L"frames") {
        if (argc != 3 || !Number(argv[2], limit) || limit < 1)
            return Usage();
        return Frames(window, limit);
    }
    return Usage();
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    return Run(argc, argv);
}
