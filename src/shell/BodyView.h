// The reading pane's body in the embedded browser (WebView2). The browser is
// created asynchronously and locked down: no scripts, no context menu, no
// developer tools; only the program's own page and passive content load,
// and a link the user clicks goes to the system's handler. Everything runs
// on the UI thread; the browser calls back through the window's messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace postern::shell {

class BodyView {
public:
    BodyView() = default;
    ~BodyView() { Close(); }
    BodyView(const BodyView&) = delete;
    BodyView& operator=(const BodyView&) = delete;

    // Starts creating the browser as a child of `parent`. False when it
    // cannot even start (no loader beside the program, no runtime). When
    // creation fails later, `failed` runs once, on the UI thread. Keys of
    // the window's own pressed in the page reach `parent` as kBodyKeyMessage.
    bool Init(HWND parent, std::function<void()> failed);
    // Last requested bounds and visibility; applied when the browser comes.
    void SetBounds(const RECT& bounds);
    void SetVisible(bool visible);
    // Shows a page once the browser is ready; before that, the newest page
    // waits. Pages over the browser's size limits are cut with a note.
    void ShowPage(std::u16string page);
    // Closes the browser and drops whatever it may still call back with.
    void Close();

    [[nodiscard]] bool Ready() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

// The private message that carries a key from the browser to the window,
// posted so that the window acts outside the browser's callback: wParam the
// virtual key, lParam 1 when Ctrl was down.
inline constexpr UINT kBodyKeyMessage = WM_APP + 43;

} // namespace postern::shell
