#include "shell/ReadingBody.h"

namespace postern::shell {

void ReadingBody::Create(HWND parent, HINSTANCE instance, float scale)
{
    parent_ = parent;
    instance_ = instance;
    scale_ = scale;
    kind_ = Kind::browser;
    if (!browser_.Init(parent, [this] { UseText(); }))
        UseText();
}

void ReadingBody::UseText()
{
    if (kind_ == Kind::text)
        return;
    browser_.Close();
    kind_ = text_.Create(parent_, instance_, scale_) ? Kind::text : Kind::none;
    text_.Place(placed_);
    text_.ShowPage(waiting_);
    waiting_.clear();
}

void ReadingBody::SetScale(float scale)
{
    scale_ = scale;
    if (kind_ == Kind::text)
        text_.SetScale(scale);
    // The browser follows the monitor's scale by itself.
}

void ReadingBody::Place(const Rect& area)
{
    if (area == placed_)
        return; // the window places the body after every paint
    placed_ = area;
    if (kind_ == Kind::text) {
        text_.Place(area);
    } else if (kind_ == Kind::browser) {
        browser_.SetBounds(RECT{static_cast<LONG>(area.left), static_cast<LONG>(area.top),
                                static_cast<LONG>(area.right), static_cast<LONG>(area.bottom)});
        browser_.SetVisible(!area.IsEmpty());
    }
}

void ReadingBody::ShowPage(const std::u16string& page)
{
    if (kind_ == Kind::text) {
        text_.ShowPage(page);
    } else if (kind_ == Kind::browser) {
        if (!browser_.Ready())
            waiting_ = page;
        else
            waiting_.clear();
        browser_.ShowPage(page);
    }
}

void ReadingBody::Close()
{
    browser_.Close();
    if (kind_ == Kind::browser)
        kind_ = Kind::none;
}

} // namespace postern::shell
