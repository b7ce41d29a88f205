// The reading pane's body: the embedded browser where its runtime exists,
// else the text view. The choice is made once, at start: the browser is
// tried first, and the text view takes over for good when it cannot be made
// (no runtime, as under Wine, or a creation that fails). The engine's pages
// arrive the same way in both cases.
#pragma once

#include "shell/BodyView.h"
#include "shell/TextBodyView.h"
#include "ui/Geometry.h"

#include <windows.h>

#include <string>

namespace postern::shell {

class ReadingBody {
public:
    enum class Kind { none, browser, text };

    ReadingBody() = default;
    ReadingBody(const ReadingBody&) = delete;
    ReadingBody& operator=(const ReadingBody&) = delete;

    void Create(HWND parent, HINSTANCE instance, float scale);
    void SetScale(float scale);
    // Where the body goes (client pixels); an empty rectangle hides it.
    void Place(const Rect& area);
    void ShowPage(const std::u16string& page);
    // While the window still exists: the browser goes first.
    void Close();

    // The browser also while it is being made; none when neither exists.
    [[nodiscard]] Kind Shown() const { return kind_; }

private:
    void UseText();

    HWND parent_ = nullptr;
    HINSTANCE instance_ = nullptr;
    float scale_ = 1;
    Kind kind_ = Kind::none;
    BodyView browser_;
    TextBodyView text_;
    Rect placed_;
    // The newest page while the browser is not ready, for the text view
    // should it take over.
    std::u16string waiting_;
};

} // namespace postern::shell
