// The reading pane's body without a browser: a read-only rich-edit control
// in the dark theme that shows each page as text (HtmlToText), with links
// that a click hands to the system through the same rule as the browser's
// links. Used where the WebView2 runtime is missing, as under Wine.
#pragma once

#include "ui/Geometry.h"
#include "ui/HtmlToText.h"

#include <windows.h>

#include <string>

namespace postern::shell {

class TextBodyView {
public:
    TextBodyView() = default;
    TextBodyView(const TextBodyView&) = delete;
    TextBodyView& operator=(const TextBodyView&) = delete;

    // The control as a child of `parent`, hidden until placed. False when
    // the rich-edit library is missing.
    bool Create(HWND parent, HINSTANCE instance, float scale);
    void SetScale(float scale);
    // Where the body goes (client pixels); an empty rectangle hides it.
    void Place(const Rect& area);
    // A page of the reading pane (UTF-16 HTML), shown as text.
    void ShowPage(const std::u16string& page);

    [[nodiscard]] HWND Handle() const { return edit_; }

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR data);
    void ApplyFormat();
    // The text keeps a margin from the pane's edges.
    void Inset();
    // The link under a point of the control's client area, or null.
    [[nodiscard]] const TextLink* LinkAt(LPARAM clientPoint) const;
    void Open(const TextLink& link) const;

    HWND parent_ = nullptr;
    HWND edit_ = nullptr;
    HFONT font_ = nullptr;
    float scale_ = 1;
    Rect placed_;
    ReadableText shown_;
    const TextLink* pressedLink_ = nullptr;
};

} // namespace postern::shell
