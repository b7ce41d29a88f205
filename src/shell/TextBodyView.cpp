#include "shell/TextBodyView.h"

#include "platform/Charset.h"
#include "platform/Shell.h"
#include "shell/Keys.h"
#include "ui/BrowserPolicy.h"

#include <commctrl.h>
#include <richedit.h>

#include <windowsx.h>

#include <algorithm>
#include <utility>

namespace postern::shell {

namespace {

constexpr UINT_PTR kSubclassId = 2;
constexpr COLORREF kBackground = RGB(0x14, 0x16, 0x1A);
constexpr COLORREF kText = RGB(0xE8, 0xE6, 0xE3);
constexpr COLORREF kDim = RGB(0x9A, 0xA0, 0xA8);
constexpr COLORREF kLink = RGB(0x7A, 0xB7, 0xFF);
constexpr char16_t kRuntimeNote[] =
    u"Mail is shown as text here: the embedded browser (WebView2 Runtime) is not available. Get it from "
    u"https://go.microsoft.com/fwlink/p/?LinkId=2124703\n\n";
constexpr std::string_view kRuntimeLink = "https://go.microsoft.com/fwlink/p/?LinkId=2124703";

void FormatRange(HWND edit, size_t start, size_t length, CHARFORMAT2W& format)
{
    CHARRANGE range{static_cast<LONG>(start), static_cast<LONG>(start + length)};
    SendMessageW(edit, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    SendMessageW(edit, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
}

} // namespace

bool TextBodyView::Create(HWND parent, HINSTANCE instance, float scale)
{
    parent_ = parent;
    if (!LoadLibraryW(L"Msftedit.dll"))
        return false;
    edit_ = CreateWindowExW(0, MSFTEDIT_CLASS, L"",
                            WS_CHILD | WS_VSCROLL | WS_CLIPSIBLINGS | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                            0, 0, parent, nullptr, instance, nullptr);
    if (!edit_)
        return false;
    SendMessageW(edit_, EM_SETBKGNDCOLOR, 0, kBackground);
    // Links are found by the position clicked: the control's own link
    // effect draws in its own colours, unreadable on the dark background.
    SendMessageW(edit_, EM_AUTOURLDETECT, FALSE, 0);
    SetWindowSubclass(edit_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    SetScale(scale);
    return true;
}

void TextBodyView::SetScale(float scale)
{
    scale_ = scale > 0 ? scale : 1;
    if (!edit_)
        return;
    Inset();
    ApplyFormat();
}

void TextBodyView::ApplyFormat()
{
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    format.dwEffects = 0;
    format.crTextColor = kText;
    format.yHeight = 210; // twips: 10.5 points, the rich-edit control scales points itself
    wcscpy_s(format.szFaceName, LF_FACESIZE, L"Segoe UI");
    SendMessageW(edit_, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    SendMessageW(edit_, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
}

void TextBodyView::Place(const Rect& area)
{
    if (!edit_ || area == placed_)
        return;
    placed_ = area;
    if (area.IsEmpty()) {
        ShowWindow(edit_, SW_HIDE);
        return;
    }
    const int left = static_cast<int>(area.left);
    const int top = static_cast<int>(area.top);
    MoveWindow(edit_, left, top, static_cast<int>(area.right) - left, static_cast<int>(area.bottom) - top, TRUE);
    Inset();
    ShowWindow(edit_, SW_SHOWNA);
}

void TextBodyView::Inset()
{
    RECT client{};
    GetClientRect(edit_, &client);
    const int margin = static_cast<int>(16 * scale_ + 0.5f);
    RECT text{client.left + margin, client.top + margin / 2, client.right - margin, client.bottom};
    if (text.right > text.left)
        SendMessageW(edit_, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&text));
    // The control redraws inside the new rectangle only: text drawn before
    // in the margin would stay there.
    InvalidateRect(edit_, nullptr, TRUE);
}

const TextLink* TextBodyView::LinkAt(LPARAM clientPoint) const
{
    POINTL point{GET_X_LPARAM(clientPoint), GET_Y_LPARAM(clientPoint)};
    const auto at = static_cast<LONG>(SendMessageW(edit_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&point)));
    if (at < 0)
        return nullptr;
    // The character nearest the point may lie left of it: only a point on
    // the character itself counts.
    POINTL origin{};
    SendMessageW(edit_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&origin), at);
    if (origin.y > point.y || point.y - origin.y > static_cast<LONG>(24 * scale_))
        return nullptr;
    for (const TextLink& each : shown_.links) {
        if (static_cast<size_t>(at) >= each.start && static_cast<size_t>(at) < each.start + each.length)
            return &each;
    }
    return nullptr;
}

void TextBodyView::Open(const TextLink& link) const
{
    if (NavigationAction(link.target, true, false) != LinkAction::openOutside)
        return;
    std::string ignored; // a handler that will not start has nothing to add
    (void)OpenUrl(link.target, ignored);
}

void TextBodyView::ShowPage(const std::u16string& page)
{
    if (!edit_)
        return;
    pressedLink_ = nullptr; // its page is going
    ReadableText body = HtmlToText(Utf16ToUtf8(page));
    // The note leads every page: it is why the page looks as it does.
    shown_.text = kRuntimeNote;
    const size_t noteLength = shown_.text.size();
    shown_.links.clear();
    const size_t linkAt = shown_.text.find(u"https://");
    shown_.links.push_back({linkAt, kRuntimeLink.size(), std::string(kRuntimeLink)});
    shown_.text += body.text;
    for (TextLink& link : body.links) {
        link.start += noteLength;
        shown_.links.push_back(std::move(link));
    }

    SendMessageW(edit_, WM_SETREDRAW, FALSE, 0);
    const std::wstring wide(shown_.text.begin(), shown_.text.end());
    SetWindowTextW(edit_, wide.c_str());
    ApplyFormat();
    CHARFORMAT2W dim{};
    dim.cbSize = sizeof dim;
    dim.dwMask = CFM_COLOR;
    dim.crTextColor = kDim;
    FormatRange(edit_, 0, noteLength, dim);
    CHARFORMAT2W link{};
    link.cbSize = sizeof link;
    link.dwMask = CFM_COLOR | CFM_UNDERLINE;
    link.dwEffects = CFE_UNDERLINE;
    link.crTextColor = kLink;
    for (const TextLink& each : shown_.links)
        FormatRange(edit_, each.start, each.length, link);
    CHARRANGE top{0, 0};
    SendMessageW(edit_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&top));
    SendMessageW(edit_, WM_VSCROLL, SB_TOP, 0);
    SendMessageW(edit_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(edit_, nullptr, TRUE);
}

LRESULT CALLBACK TextBodyView::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR data)
{
    auto* view = reinterpret_cast<TextBodyView*>(data);
    if (message == WM_KEYDOWN) {
        // Esc and Tab hand the keyboard back to the list; the window's
        // shortcuts work while the text has the focus.
        if (wParam == VK_ESCAPE || wParam == VK_TAB) {
            SetFocus(view->parent_);
            return 0;
        }
        if (BodyKeyReachesWindow(wParam, GetKeyState(VK_CONTROL) < 0)) {
            SendMessageW(view->parent_, WM_KEYDOWN, wParam, lParam);
            return 0;
        }
    }
    if (message == WM_CHAR && (wParam == VK_TAB || wParam == VK_ESCAPE))
        return 0;
    if (message == WM_LBUTTONDOWN)
        view->pressedLink_ = view->LinkAt(lParam);
    if (message == WM_LBUTTONUP) {
        // A click, not the end of a selection that began on the link.
        const TextLink* link = view->LinkAt(lParam);
        const TextLink* pressed = std::exchange(view->pressedLink_, nullptr);
        if (link && link == pressed) {
            const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            view->Open(*link);
            return result;
        }
    }
    if (message == WM_SETCURSOR && LOWORD(lParam) == HTCLIENT) {
        POINT point{};
        GetCursorPos(&point);
        ScreenToClient(window, &point);
        if (view->LinkAt(MAKELPARAM(point.x, point.y))) {
            SetCursor(LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        }
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace postern::shell
