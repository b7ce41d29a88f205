#include "shell/FilterBox.h"

#include "shell/WideText.h"

#include <commctrl.h>

namespace postern::shell {

namespace {

constexpr UINT_PTR kSubclassId = 1;
constexpr COLORREF kBoxColour = RGB(0x22, 0x26, 0x2E);
constexpr COLORREF kTextColour = RGB(0xE8, 0xE6, 0xE3);
constexpr wchar_t kCueBanner[] = L"Filter view \u2014 Enter to search all folders   (Ctrl+K)";

HFONT MakeFont(float scale)
{
    return CreateFontW(-static_cast<int>(15.0f * scale + 0.5f), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, L"Segoe UI");
}

} // namespace

bool FilterBox::Create(HWND parent, HINSTANCE instance, float scale)
{
    parent_ = parent;
    brush_ = CreateSolidBrush(kBoxColour);
    font_ = MakeFont(scale);
    edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 0, 0, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFilterBoxId)), instance, nullptr);
    if (!edit_)
        return false;
    SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    SetWindowSubclass(edit_, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    // Shown also while the box has the focus, so the hint stays until typing.
    SendMessageW(edit_, EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(kCueBanner));
    return true;
}

void FilterBox::SetScale(float scale)
{
    HFONT font = MakeFont(scale);
    if (!font)
        return;
    if (edit_)
        SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (font_)
        DeleteObject(font_);
    font_ = font;
}

void FilterBox::Place(const FilterBoxPlace& place)
{
    if (!edit_)
        return;
    const bool visible = place.editWidth > 0 && place.editHeight > 0;
    ShowWindow(edit_, visible ? SW_SHOWNA : SW_HIDE);
    if (visible)
        MoveWindow(edit_, place.editX, place.editY, place.editWidth, place.editHeight, TRUE);
}

std::u16string FilterBox::Text() const
{
    if (!edit_)
        return {};
    return WindowText(edit_);
}

void FilterBox::FocusAndSelectAll()
{
    if (!edit_)
        return;
    SetFocus(edit_);
    SendMessageW(edit_, EM_SETSEL, 0, -1);
}

void FilterBox::Clear()
{
    if (edit_ && GetWindowTextLengthW(edit_) > 0)
        SetWindowTextW(edit_, L"");
}

HBRUSH FilterBox::Colours(HDC dc) const
{
    SetTextColor(dc, kTextColour);
    SetBkColor(dc, kBoxColour);
    return brush_;
}

void FilterBox::Destroy()
{
    if (edit_ && IsWindow(edit_))
        RemoveWindowSubclass(edit_, SubclassProc, kSubclassId);
    edit_ = nullptr;
    if (font_)
        DeleteObject(font_);
    if (brush_)
        DeleteObject(brush_);
    font_ = nullptr;
    brush_ = nullptr;
}

LRESULT CALLBACK FilterBox::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data)
{
    auto* box = reinterpret_cast<FilterBox*>(data);
    switch (message) {
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            SetWindowTextW(window, L""); // raises EN_CHANGE: the filter goes
            SetFocus(box->parent_);
            return 0;
        }
        if (wParam == VK_RETURN) {
            PostMessageW(box->parent_, kGlobalSearchMessage, 0, 0);
            return 0;
        }
        if (GetKeyState(VK_CONTROL) < 0 && (wParam == 'F' || wParam == 'K')) {
            SendMessageW(window, EM_SETSEL, 0, -1);
            return 0;
        }
        // The window's shortcuts work while typing a filter, too.
        if (wParam == VK_F5 || (GetKeyState(VK_CONTROL) < 0 && (wParam == 'N' || wParam == 'R'))) {
            SendMessageW(box->parent_, WM_KEYDOWN, wParam, lParam);
            return 0;
        }
        break;
    case WM_CHAR:
        // No beep and no character for the keys handled above.
        if (wParam == VK_ESCAPE || wParam == VK_RETURN || wParam == 0x06 || wParam == 0x0B || wParam == 0x0E
            || wParam == 0x12)
            return 0;
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        // The painted frame follows the focus.
        InvalidateRect(box->parent_, nullptr, FALSE);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

} // namespace postern::shell
