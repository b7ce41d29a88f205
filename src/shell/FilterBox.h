// The filter box at the top right of the main window: an EDIT control over
// the painted box, with its own font and background brush. Typing filters
// the list (EN_CHANGE reaches the main window), Enter asks for a search of
// all folders, Esc clears the box and hands the keyboard back to the list.
#pragma once

#include "ui/MainLayout.h"

#include <windows.h>

#include <string>

namespace postern::shell {

inline constexpr int kFilterBoxId = 401;
// Posted to the main window when Enter is pressed in the box.
inline constexpr UINT kGlobalSearchMessage = WM_APP + 42;

class FilterBox {
public:
    FilterBox() = default;
    FilterBox(const FilterBox&) = delete;
    FilterBox& operator=(const FilterBox&) = delete;
    ~FilterBox() { Destroy(); }

    // The control as a child of `parent`, with the font for this scale.
    bool Create(HWND parent, HINSTANCE instance, float scale);
    // A new font for a new DPI; the old one is deleted only after the
    // control uses the new one.
    void SetScale(float scale);
    void Place(const FilterBoxPlace& place);

    [[nodiscard]] HWND Handle() const { return edit_; }
    [[nodiscard]] bool HasFocus() const { return edit_ && GetFocus() == edit_; }
    [[nodiscard]] std::u16string Text() const;
    // Ctrl+F and Ctrl+K: the keyboard goes to the box with its text selected.
    void FocusAndSelectAll();
    // Empties the box; its change notice finds the filter already gone.
    void Clear();

    // WM_CTLCOLOREDIT for the box: its colours, and the brush to return.
    [[nodiscard]] HBRUSH Colours(HDC dc) const;

    // Deletes the font and the brush (the control goes with its parent).
    void Destroy();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH brush_ = nullptr;
};

} // namespace postern::shell
