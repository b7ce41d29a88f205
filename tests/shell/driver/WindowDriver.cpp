// Drives the main window of postern.exe from outside, for the window tests:
// finds it, moves, sizes, maximizes, minimizes and closes it, presses keys and
// mouse buttons on it, and prints what the window system says about it, its
// menus and its dialogs. Runs in the same Wine prefix as the program. Every
// wait polls with a deadline.
//
//   window-driver find MS        wait for the visible main window, print it
//   window-driver state          print it now (exit 1 when there is none)
//   window-driver move X Y W H   SetWindowPos
//   window-driver show maximize|minimize|restore
//   window-driver enter-sizemove | exit-sizemove   bracket a drag
//   window-driver close          post WM_CLOSE
//   window-driver gone MS        wait until no main window exists
//   window-driver click X Y [ctrl|shift|ctrl+shift]
//                                a left click at client X Y, through SendInput,
//                                with the modifier keys held down around it
//   window-driver rclick X Y     a right click at client X Y
//   window-driver dblclick X Y   a left double click at client X Y
//   window-driver down X Y       the left button pressed at client X Y
//   window-driver move X Y       the pointer to client X Y in 4 steps, 30 ms
//                                apart (a drag when the button is down)
//   window-driver up X Y         the left button released at client X Y
//   window-driver type TEXT      types TEXT into the focused control (SendInput)
//   window-driver key NAME       presses and releases a key, NAME one of esc,
//                                enter, tab, space, backspace, delete, insert,
//                                up, down, left, right, home, end, pageup,
//                                pagedown, apps, f1..f12, a..z, 0..9, or such
//                                a key after ctrl+, shift+ and alt+ (any of
//                                them, e.g. ctrl+k, shift+f10, ctrl+shift+z)
//   window-driver clipboard      prints the clipboard's text as UTF-8 and a
//                                newline (exit 1 when it holds no text)
//   window-driver popup MS       wait for a visible popup menu of the program,
//                                print "popup L T R B" for each, topmost first
//   window-driver popup-gone MS  wait until the program shows no popup menu
//   window-driver dialog TITLE MS
//                                wait for a visible window of the program (not
//                                the main window) titled TITLE, print "dialog
//                                L T R B" and one "child CLASS TEXT" line per
//                                visible control in it (line breaks in TEXT
//                                as \n)
//   window-driver dialog-press TITLE TEXT
//                                BM_CLICK on that dialog's button labelled TEXT
//                                (its '&' markers left out, e.g. OK, Yes, No)
//   window-driver dialog-gone TITLE MS   wait until that dialog is gone
//   window-driver focus          print "focus CLASS", the class of the window
//                                with the keyboard focus in the main window's
//                                thread ("focus none" when there is none),
//                                and its control ID when it is a control of
//                                the window ("focus Edit 202")
//   window-driver cursor X Y     the pointer to client X Y, then print "cursor
//                                sizewe|arrow|no|other", the cursor shown
//                                (under Wine "no" shows as "other")
//   window-driver tray-delete    takes the window's notification icon away, as
//                                an Explorer that restarts does
//   window-driver taskbar-created  tells the window the taskbar is back
//   window-driver frames N       repaints the window N times, prints the mean
//                                time of a frame: "frames N mean-ms M"
//   window-driver control ID     prints the text of the window's control ID
//   window-driver control-at ID  prints "X Y", the centre of control ID in
//                                client coordinates (to click it)
//   window-driver record-url FILE URL
//                                appends URL to FILE (registered as a URL
//                                handler, it stands in for the browser)
//
// With POSTERN_DRIVER_CLASS set, "the window" is the program's window of that
// class (whatever its title) instead of the main window: PosternAccount for
// the account dialog.
//
// Printed line: "window L T R B client L T R B zoomed Z iconic I" (screen
// coordinates; the client rectangle too). Rectangles of popup menus and
// dialogs are in screen coordinates as well.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <cwctype>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kClassName[] = L"PosternMain";
constexpr wchar_t kTitle[] = L"Postern";
constexpr wchar_t kPopupMenuClass[] = L"#32768";
constexpr DWORD kPollMs = 20;
// How long a message to another program's window may take before we give up
// on it: a hung program must not hang the test.
constexpr UINT kMessageMs = 2000;
constexpr DWORD kClipboardMs = 2000;
constexpr int kMoveSteps = 4;
constexpr DWORD kMoveStepMs = 30;
// How long the program gets to answer a pointer move with its cursor.
constexpr DWORD kCursorChangeMs = 400;
constexpr DWORD kCursorSettleMs = 50;

HWND FindMain()
{
    wchar_t other[64]{};
    const DWORD length = GetEnvironmentVariableW(L"POSTERN_DRIVER_CLASS", other, 64);
    if (length > 0 && length < 64)
        return FindWindowW(other, nullptr);
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

std::string Utf8(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string result(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), size, nullptr, nullptr);
    return result;
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

void PrintRect(const char* what, const RECT& rect)
{
    std::printf("%s %ld %ld %ld %ld\n", what, rect.left, rect.top, rect.right, rect.bottom);
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
               "       | enter-sizemove | exit-sizemove | close | gone MS\n"
               "       | click X Y [ctrl|shift|ctrl+shift] | rclick X Y | dblclick X Y\n"
               "       | down X Y | move X Y | up X Y | type TEXT | key [ctrl+|shift+|alt+]NAME\n"
               "       | clipboard | popup MS | popup-gone MS | dialog TITLE MS | dialog-press TITLE TEXT\n"
               "       | dialog-gone TITLE MS | focus | cursor X Y | tray-delete | taskbar-created | frames N\n"
               "       | control ID | control-at ID | record-url FILE URL\n",
               stderr);
    return 2;
}

bool Send(std::vector<INPUT> inputs)
{
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
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

// The keys that sit outside the main block of a keyboard: their messages carry
// the extended flag, and Wine tells the arrows from the keypad's by it.
bool Extended(WORD vk)
{
    switch (vk) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN:
    case VK_HOME:
    case VK_END:
    case VK_PRIOR:
    case VK_NEXT:
    case VK_INSERT:
    case VK_DELETE:
    case VK_APPS:
        return true;
    default:
        return false;
    }
}

// A key going down or up as a keyboard sends it: with its scan code and, where
// the key has one, the extended flag.
INPUT KeyStroke(WORD vk, bool up)
{
    const WORD scan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC) & 0xFF);
    DWORD flags = up ? KEYEVENTF_KEYUP : 0;
    if (Extended(vk))
        flags |= KEYEVENTF_EXTENDEDKEY;
    return Key(vk, scan, flags);
}

// The modifiers pressed in order, `inner` while they are down, the modifiers
// released in reverse order: one SendInput, so nothing comes between them.
bool SendHolding(const std::vector<WORD>& modifiers, const std::vector<INPUT>& inner)
{
    std::vector<INPUT> inputs;
    for (const WORD vk : modifiers)
        inputs.push_back(KeyStroke(vk, false));
    inputs.insert(inputs.end(), inner.begin(), inner.end());
    for (auto vk = modifiers.rbegin(); vk != modifiers.rend(); ++vk)
        inputs.push_back(KeyStroke(*vk, true));
    return Send(inputs);
}

WORD KeyCode(const std::wstring& name)
{
    static const struct
    {
        const wchar_t* name;
        WORD vk;
    } kNamed[] = {
        {L"esc", VK_ESCAPE},     {L"enter", VK_RETURN},  {L"tab", VK_TAB},       {L"space", VK_SPACE},
        {L"backspace", VK_BACK}, {L"delete", VK_DELETE}, {L"insert", VK_INSERT}, {L"up", VK_UP},
        {L"down", VK_DOWN},      {L"left", VK_LEFT},     {L"right", VK_RIGHT},   {L"home", VK_HOME},
        {L"end", VK_END},        {L"pageup", VK_PRIOR},  {L"pagedown", VK_NEXT}, {L"apps", VK_APPS},
    };
    for (const auto& key : kNamed) {
        if (name == key.name)
            return key.vk;
    }
    if (name.size() == 1 && name[0] >= L'a' && name[0] <= L'z')
        return static_cast<WORD>(L'A' + (name[0] - L'a'));
    if (name.size() == 1 && name[0] >= L'0' && name[0] <= L'9')
        return static_cast<WORD>(name[0]);
    long function = 0;
    if (name.size() >= 2 && name[0] == L'f' && Number(name.c_str() + 1, function) && function >= 1 && function <= 12)
        return static_cast<WORD>(VK_F1 + function - 1);
    return 0;
}

WORD ModifierCode(const std::wstring& name)
{
    return name == L"ctrl" ? VK_CONTROL : name == L"shift" ? VK_SHIFT : name == L"alt" ? VK_MENU : 0;
}

// Splits "ctrl+shift+k" into its modifiers and, when `key` is wanted, the key
// last. False for a name we do not know.
bool ParseChord(const std::wstring& chord, std::vector<WORD>& modifiers, WORD* key)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (;;) {
        const size_t plus = chord.find(L'+', start);
        parts.push_back(chord.substr(start, plus == std::wstring::npos ? std::wstring::npos : plus - start));
        if (plus == std::wstring::npos)
            break;
        start = plus + 1;
    }
    const size_t modifierCount = key ? parts.size() - 1 : parts.size();
    for (size_t i = 0; i < modifierCount; ++i) {
        const WORD vk = ModifierCode(parts[i]);
        if (!vk || std::find(modifiers.begin(), modifiers.end(), vk) != modifiers.end())
            return false;
        modifiers.push_back(vk);
    }
    if (key)
        *key = KeyCode(parts.back());
    return !key || *key != 0;
}

int PressKey(const std::wstring& chord)
{
    std::vector<WORD> modifiers;
    WORD vk = 0;
    if (!ParseChord(Lower(chord), modifiers, &vk))
        return Usage();
    return SendHolding(modifiers, {KeyStroke(vk, false), KeyStroke(vk, true)}) ? 0 : 1;
}

DWORD ProcessOf(HWND window)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Gives the main window the foreground unless a window of the program already
// has it: taking it from the program's own dialog or menu would hide or close
// them under the test's feet.
void BringForward(HWND window)
{
    const HWND foreground = GetForegroundWindow();
    if (!foreground || ProcessOf(foreground) != ProcessOf(window))
        SetForegroundWindow(window);
}

POINT ToScreen(HWND window, long x, long y)
{
    POINT point{x, y};
    ClientToScreen(window, &point);
    return point;
}

INPUT PointerTo(POINT screen)
{
    // Absolute coordinates run from 0 to 65535 across the primary screen.
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT move{};
    move.type = INPUT_MOUSE;
    move.mi.dx = static_cast<LONG>((screen.x * 65535 + width / 2) / (width - 1));
    move.mi.dy = static_cast<LONG>((screen.y * 65535 + height / 2) / (height - 1));
    move.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    return move;
}

INPUT Button(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    return input;
}

// The pointer to client X Y, then `buttons` there, while `modifiers` are held.
int Press(HWND window, long x, long y, std::initializer_list<DWORD> buttons, const std::vector<WORD>& modifiers = {})
{
    BringForward(window);
    std::vector<INPUT> inputs{PointerTo(ToScreen(window, x, y))};
    for (const DWORD flags : buttons)
        inputs.push_back(Button(flags));
    return SendHolding(modifiers, inputs) ? 0 : 1;
}

int Click(HWND window, long x, long y, const std::vector<WORD>& modifiers = {})
{
    return Press(window, x, y, {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP}, modifiers);
}

// Moves the pointer from where it is to client X Y in even steps, so that the
// program sees a few WM_MOUSEMOVE on the way, as from a hand on a mouse.
int MovePointer(HWND window, long x, long y)
{
    POINT from{};
    if (!GetCursorPos(&from))
        return 1;
    const POINT to = ToScreen(window, x, y);
    for (int step = 1; step <= kMoveSteps; ++step) {
        const POINT at{from.x + (to.x - from.x) * step / kMoveSteps, from.y + (to.y - from.y) * step / kMoveSteps};
        if (!Send({PointerTo(at)}))
            return 1;
        if (step < kMoveSteps)
            Sleep(kMoveStepMs);
    }
    return 0;
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

int PrintClipboard()
{
    // Another program (the one under test, say) may hold the clipboard open
    // for a moment.
    if (!PollUntil([] { return OpenClipboard(nullptr) != FALSE; }, kClipboardMs)) {
        std::fputs("the clipboard stays locked\n", stderr);
        return 1;
    }
    std::wstring text;
    bool found = false;
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
            // The text ends at its terminating zero or at the end of the block,
            // whichever comes first.
            const size_t limit = GlobalSize(data) / sizeof(wchar_t);
            size_t length = 0;
            while (length < limit && locked[length])
                ++length;
            text.assign(locked, length);
            found = true;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    if (!found) {
        std::fputs("no text on the clipboard\n", stderr);
        return 1;
    }
    // The bytes as they are: text mode would turn the text's own CR LF into
    // CR CR LF.
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string bytes = Utf8(text) + "\n";
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
    return 0;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = {};
    const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// A window's text through WM_GETTEXT, so that controls which keep their own
// text (edits) answer too; bounded, in case the program hangs.
std::wstring TextOf(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageMs, &length))
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, static_cast<WPARAM>(text.size()),
                             reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, kMessageMs, &copied))
        return {};
    text.resize(std::min<size_t>(static_cast<size_t>(copied), static_cast<size_t>(length)));
    return text;
}

template <typename Visit>
BOOL CALLBACK VisitWindow(HWND window, LPARAM visit)
{
    return (*reinterpret_cast<Visit*>(visit))(window) ? TRUE : FALSE;
}

// Calls `visit` on each top-level window, topmost first, until it returns false.
template <typename Visit>
void ForEachTopLevel(Visit visit)
{
    EnumWindows(&VisitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// Calls `visit` on each window inside `parent`, at any depth.
template <typename Visit>
void ForEachChild(HWND parent, Visit visit)
{
    EnumChildWindows(parent, &VisitWindow<Visit>, reinterpret_cast<LPARAM>(&visit));
}

// The program's visible popup menus, topmost (the innermost submenu) first.
std::vector<HWND> PopupMenus(HWND window)
{
    const DWORD process = ProcessOf(window);
    std::vector<HWND> menus;
    ForEachTopLevel([&](HWND candidate) {
        if (IsWindowVisible(candidate) && ProcessOf(candidate) == process && ClassOf(candidate) == kPopupMenuClass)
            menus.push_back(candidate);
        return true;
    });
    return menus;
}

// The program's visible window titled `title`, other than the main window:
// owned by it, or belonging to its process (a message box owned by a dialog).
HWND FindDialog(HWND window, const std::wstring& title)
{
    const DWORD process = ProcessOf(window);
    HWND found = nullptr;
    ForEachTopLevel([&](HWND candidate) {
        if (candidate == window || !IsWindowVisible(candidate))
            return true;
        if (GetWindow(candidate, GW_OWNER) != window && ProcessOf(candidate) != process)
            return true;
        if (TextOf(candidate) != title)
            return true;
        found = candidate;
        return false;
    });
    return found;
}

// Line breaks written as \n, so that each control keeps to one line.
std::wstring OneLine(const std::wstring& text)
{
    std::wstring line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\r' || text[i] == L'\n') {
            if (text[i] == L'\r' && i + 1 < text.size() && text[i + 1] == L'\n')
                ++i;
            line += L"\\n";
        } else {
            line += text[i];
        }
    }
    return line;
}

int PrintDialog(HWND dialog)
{
    RECT rect{};
    if (!GetWindowRect(dialog, &rect))
        return 1;
    PrintRect("dialog", rect);
    // Message boxes keep their unused buttons as hidden controls; those are no
    // part of what the user sees.
    ForEachChild(dialog, [](HWND child) {
        if (!IsWindowVisible(child))
            return true;
        const std::wstring text = OneLine(TextOf(child));
        std::printf("child %s%s%s\n", Utf8(ClassOf(child)).c_str(), text.empty() ? "" : " ", Utf8(text).c_str());
        return true;
    });
    std::fflush(stdout);
    return 0;
}

std::wstring WithoutMnemonics(const std::wstring& label)
{
    std::wstring text;
    for (size_t i = 0; i < label.size(); ++i) {
        if (label[i] == L'&' && i + 1 < label.size())
            ++i; // "&&" stands for one '&'
        else if (label[i] == L'&')
            continue;
        text += label[i];
    }
    return text;
}

int PressDialogButton(HWND dialog, const std::wstring& label)
{
    HWND button = nullptr;
    ForEachChild(dialog, [&](HWND child) {
        if (!IsWindowVisible(child) || !IsWindowEnabled(child) || Lower(ClassOf(child)) != L"button" ||
            WithoutMnemonics(TextOf(child)) != label)
            return true;
        button = child;
        return false;
    });
    if (!button) {
        std::fputs("no such button\n", stderr);
        return 1;
    }
    // The button's parent may answer with something modal of its own; then
    // the click has arrived and is being handled, which is all we wait for.
    DWORD_PTR result = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_NORMAL, kMessageMs, &result))
        return 0;
    return GetLastError() == ERROR_TIMEOUT ? 0 : 1;
}

int PrintFocus(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return 1;
    if (!info.hwndFocus)
        std::printf("focus none\n");
    else if (const int id = GetDlgCtrlID(info.hwndFocus); id > 0 && GetParent(info.hwndFocus) == window)
        std::printf("focus %s %d\n", Utf8(ClassOf(info.hwndFocus)).c_str(), id);
    else
        std::printf("focus %s\n", Utf8(ClassOf(info.hwndFocus)).c_str());
    std::fflush(stdout);
    return 0;
}

HCURSOR CurrentCursor()
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) ? info.hCursor : nullptr;
}

bool UnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// The cursor the program's window sets when told the pointer is over
// `hitTest`: for the frame and the caption its DefWindowProc picks one of the
// system's cursors.
HCURSOR CursorSetFor(HWND window, WORD hitTest)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(hitTest, WM_MOUSEMOVE),
                             SMTO_ABORTIFHUNG, kMessageMs, &result))
        return nullptr;
    return CurrentCursor();
}

struct KnownCursors
{
    HCURSOR sizewe = nullptr;
    HCURSOR arrow = nullptr;
    HCURSOR no = nullptr;
    bool setByProgram = false; // the program's cursor changed while finding them
};

KnownCursors CursorsOf(HWND window)
{
    // Windows shares the system's cursors among all processes: ours are the
    // program's.
    if (!UnderWine())
        return {LoadCursorW(nullptr, IDC_SIZEWE), LoadCursorW(nullptr, IDC_ARROW), LoadCursorW(nullptr, IDC_NO), false};
    // Wine loads them in each process anew, and a cursor of another process
    // cannot be looked into. The program's own copies of the sizing arrow and
    // the arrow are what it sets over a side of the frame and over the caption;
    // nothing sets its IDC_NO for us, so that one stays unknown.
    KnownCursors known;
    known.setByProgram = true;
    known.sizewe = CursorSetFor(window, HTRIGHT);
    known.arrow = CursorSetFor(window, HTCAPTION);
    if (known.sizewe == known.arrow) // the window chose for itself: no answer
        known.sizewe = known.arrow = nullptr;
    return known;
}

int PrintCursor(HWND window, long x, long y)
{
    BringForward(window);
    const KnownCursors known = CursorsOf(window);
    const HCURSOR before = CurrentCursor();
    const POINT target = ToScreen(window, x, y);
    std::vector<INPUT> moves;
    POINT at{};
    // Finding the cursors above changed the one shown; a pointer that stays
    // where it is would not make the program set its own again, so it steps
    // aside by a pixel first.
    if (known.setByProgram && GetCursorPos(&at) && at.x == target.x && at.y == target.y)
        moves.push_back(PointerTo(POINT{target.x + 1, target.y}));
    moves.push_back(PointerTo(target));
    if (!Send(moves))
        return 1;
    // The program sets its cursor when the move reaches it; when the cursor
    // does not change, the one shown already is the answer.
    PollUntil([before] { return CurrentCursor() != before; }, kCursorChangeMs);
    Sleep(kCursorSettleMs);
    const HCURSOR cursor = CurrentCursor();
    const char* name = !cursor                  ? "other"
                       : cursor == known.sizewe ? "sizewe"
                       : cursor == known.arrow  ? "arrow"
                       : cursor == known.no     ? "no"
                                                : "other";
    std::printf("cursor %s\n", name);
    std::fflush(stdout);
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

// The X Y of a pointer command in argv[2] and argv[3].
bool Point(int argc, wchar_t** argv, long& x, long& y)
{
    return argc >= 4 && Number(argv[2], x) && Number(argv[3], y);
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

    if (command == L"record-url") {
        if (argc != 4)
            return Usage();
        FILE* file = nullptr;
        if (_wfopen_s(&file, argv[2], L"ab") != 0 || !file)
            return 1;
        const std::string url = Utf8(argv[3]);
        std::fprintf(file, "%s\n", url.c_str());
        return std::fclose(file) == 0 ? 0 : 1;
    }

    const HWND window = FindMain();
    if (!window) {
        std::fputs("no main window\n", stderr);
        return 1;
    }
    long x = 0, y = 0;
    if (command == L"state")
        return PrintState(window);
    if (command == L"move" && argc == 6) {
        long w = 0, h = 0;
        if (!Point(argc, argv, x, y) || !Number(argv[4], w) || !Number(argv[5], h))
            return Usage();
        return SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
    }
    if (command == L"move") {
        if (argc != 4 || !Point(argc, argv, x, y))
            return Usage();
        return MovePointer(window, x, y);
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
        // Alt stays out: let go of on its own, it opens the window's menu.
        std::vector<WORD> modifiers;
        if ((argc != 4 && argc != 5) || !Point(argc, argv, x, y) ||
            (argc == 5 && (!ParseChord(Lower(argv[4]), modifiers, nullptr) ||
                           std::find(modifiers.begin(), modifiers.end(), VK_MENU) != modifiers.end())))
            return Usage();
        return Click(window, x, y, modifiers);
    }
    if (command == L"rclick" || command == L"dblclick" || command == L"down" || command == L"up") {
        if (argc != 4 || !Point(argc, argv, x, y))
            return Usage();
        if (command == L"rclick")
            return Press(window, x, y, {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP});
        if (command == L"dblclick") {
            // Both clicks in one SendInput: well within the double-click time
            // and at the very same point.
            return Press(window, x, y,
                         {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP});
        }
        if (command == L"down")
            return Press(window, x, y, {MOUSEEVENTF_LEFTDOWN});
        // The release ends a drag that holds the foreground already.
        return Send({PointerTo(ToScreen(window, x, y)), Button(MOUSEEVENTF_LEFTUP)}) ? 0 : 1;
    }
    if (command == L"type" && argc == 3)
        return Type(argv[2]);
    if (command == L"key" && argc == 3)
        return PressKey(argv[2]);
    if (command == L"clipboard" && argc == 2)
        return PrintClipboard();
    if (command == L"popup" || command == L"popup-gone") {
        if (argc != 3 || !Number(argv[2], limit) || limit < 0)
            return Usage();
        if (command == L"popup-gone") {
            const bool gone =
                PollUntil([window] { return PopupMenus(window).empty(); }, static_cast<unsigned long>(limit));
            return gone ? 0 : 1;
        }
        std::vector<HWND> menus;
        if (!PollUntil(
                [window, &menus] {
                    menus = PopupMenus(window);
                    return !menus.empty();
                },
                static_cast<unsigned long>(limit))) {
            std::fputs("no popup menu\n", stderr);
            return 1;
        }
        for (const HWND menu : menus) {
            RECT rect{};
            GetWindowRect(menu, &rect);
            PrintRect("popup", rect);
        }
        std::fflush(stdout);
        return 0;
    }
    if (command == L"dialog" || command == L"dialog-gone") {
        if (argc != 4 || !Number(argv[3], limit) || limit < 0)
            return Usage();
        const std::wstring title = argv[2];
        if (command == L"dialog-gone") {
            const bool gone = PollUntil([window, &title] { return FindDialog(window, title) == nullptr; },
                                        static_cast<unsigned long>(limit));
            return gone ? 0 : 1;
        }
        HWND dialog = nullptr;
        if (!PollUntil(
                [window, &title, &dialog] {
                    dialog = FindDialog(window, title);
                    return dialog != nullptr;
                },
                static_cast<unsigned long>(limit))) {
            std::fputs("no such dialog\n", stderr);
            return 1;
        }
        return PrintDialog(dialog);
    }
    if (command == L"dialog-press") {
        if (argc != 4)
            return Usage();
        const HWND dialog = FindDialog(window, argv[2]);
        if (!dialog) {
            std::fputs("no such dialog\n", stderr);
            return 1;
        }
        return PressDialogButton(dialog, argv[3]);
    }
    if ((command == L"control" || command == L"control-at") && argc == 3) {
        long controlId = 0;
        if (!Number(argv[2], controlId))
            return Usage();
        HWND control = GetDlgItem(window, static_cast<int>(controlId));
        if (!control) {
            std::fputs("no such control\n", stderr);
            return 1;
        }
        if (command == L"control") {
            std::printf("%s\n", Utf8(OneLine(TextOf(control))).c_str());
        } else {
            RECT rect{};
            GetWindowRect(control, &rect);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
            std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        }
        std::fflush(stdout);
        return 0;
    }
    if (command == L"focus" && argc == 2)
        return PrintFocus(window);
    if (command == L"cursor") {
        if (argc != 4 || !Point(argc, argv, x, y))
            return Usage();
        return PrintCursor(window, x, y);
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
