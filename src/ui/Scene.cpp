#include "ui/Scene.h"

namespace postern {

void Scene::FillRect(const Rect& r, uint32_t colour, float alpha)
{
    if (!r.IsEmpty())
        shapes_.push_back({ShapeKind::fillRect, r, 0, 1, colour, alpha, {}, {}});
}

void Scene::FillRoundRect(const Rect& r, float radius, uint32_t colour, float alpha)
{
    if (!r.IsEmpty())
        shapes_.push_back({ShapeKind::fillRoundRect, r, radius, 1, colour, alpha, {}, {}});
}

void Scene::StrokeRoundRect(const Rect& r, float radius, uint32_t colour, float width)
{
    if (!r.IsEmpty())
        shapes_.push_back({ShapeKind::strokeRoundRect, r, radius, width, colour, 1, {}, {}});
}

void Scene::StrokeRect(const Rect& r, uint32_t colour, float width)
{
    if (!r.IsEmpty())
        shapes_.push_back({ShapeKind::strokeRect, r, 0, width, colour, 1, {}, {}});
}

void Scene::Line(Point from, Point to, uint32_t colour, float width, float alpha)
{
    shapes_.push_back({ShapeKind::line, {from.x, from.y, to.x, to.y}, 0, width, colour, alpha, {}, {}});
}

void Scene::FillCircle(Point centre, float radius, uint32_t colour)
{
    shapes_.push_back({ShapeKind::fillCircle, {centre.x, centre.y, centre.x, centre.y}, radius, 1, colour, 1, {}, {}});
}

void Scene::StrokeCircle(Point centre, float radius, uint32_t colour, float width)
{
    shapes_.push_back(
        {ShapeKind::strokeCircle, {centre.x, centre.y, centre.x, centre.y}, radius, width, colour, 1, {}, {}});
}

void Scene::Text(const Rect& r, std::u16string_view text, SceneFont font, uint32_t colour)
{
    if (r.IsEmpty() || text.empty())
        return;
    shapes_.push_back({ShapeKind::text, r, 0, 1, colour, 1, font, WithoutBidiControls(text)});
}

void Scene::PushClip(const Rect& r)
{
    shapes_.push_back({ShapeKind::pushClip, r, 0, 1, 0, 1, {}, {}});
}

void Scene::PopClip()
{
    shapes_.push_back({ShapeKind::popClip, {}, 0, 1, 0, 1, {}, {}});
}

std::u16string WithoutBidiControls(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (const char16_t c : text) {
        const bool control = (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        if (!control)
            out.push_back(c);
    }
    return out;
}

} // namespace postern
