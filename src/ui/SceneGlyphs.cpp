#include "ui/SceneParts.h"

#include <cmath>
#include <initializer_list>

namespace postern::scene {

namespace {

// A polyline in units around (cx, cy).
void Polyline(Scene& scene, float cx, float cy, std::initializer_list<Point> points, uint32_t colour, float scale,
              float stroke)
{
    const Point* previous = nullptr;
    for (const Point& p : points) {
        if (previous) {
            scene.Line({cx + previous->x * scale, cy + previous->y * scale}, {cx + p.x * scale, cy + p.y * scale},
                       colour, stroke);
        }
        previous = &p;
    }
}

void RefreshIcon(Scene& scene, float cx, float cy, uint32_t colour, float scale, float stroke)
{
    // An open circle from a quarter past the top round to the top, with the
    // arrow head at its end.
    constexpr int kSegments = 22;
    constexpr float kRadius = 6.0f;
    constexpr float kStart = -1.05f; // radians, 0 = right, y grows down
    constexpr float kSweep = 2 * 3.14159265f - 1.2f;
    auto at = [&](float angle) {
        return Point{cx + kRadius * scale * std::cos(angle), cy + kRadius * scale * std::sin(angle)};
    };
    for (int i = 0; i < kSegments; ++i) {
        const float a0 = kStart + kSweep * static_cast<float>(i) / kSegments;
        const float a1 = kStart + kSweep * static_cast<float>(i + 1) / kSegments;
        scene.Line(at(a0), at(a1), colour, stroke);
    }
    const float end = kStart + kSweep;
    const Point tip = at(end);
    // Back along the direction of travel, spread by ±0.6 radians.
    const float back = end - 3.14159265f / 2;
    for (const float spread : {-0.6f, 0.6f}) {
        const float a = back + spread;
        scene.Line(tip, {tip.x + 4.5f * scale * std::cos(a), tip.y + 4.5f * scale * std::sin(a)}, colour, stroke);
    }
}

} // namespace

void Chevron(Scene& scene, float cx, float cy, bool down, uint32_t colour, float scale)
{
    constexpr float a = 5.0f;
    const float stroke = 1.9f * scale;
    if (down)
        Polyline(scene, cx, cy, {{-a, -0.45f * a}, {0, 0.55f * a}, {a, -0.45f * a}}, colour, scale, stroke);
    else
        Polyline(scene, cx, cy, {{-0.45f * a, -a}, {0.55f * a, 0}, {-0.45f * a, a}}, colour, scale, stroke);
}

void LockGlyph(Scene& scene, float cx, float cy, uint32_t colour, float scale)
{
    const float stroke = 1.4f * scale;
    Polyline(scene, cx, cy, {{-2.5f, -1}, {-2.5f, -3.5f}, {2.5f, -3.5f}, {2.5f, -1}}, colour, scale, stroke);
    scene.FillRoundRect({cx - 4 * scale, cy - 1 * scale, cx + 4 * scale, cy + 4.5f * scale}, 1.2f * scale, colour);
}

void ToolbarIcon(Scene& scene, int32_t id, float cx, float cy, uint32_t colour, float scale)
{
    const float stroke = 1.6f * scale;
    auto lines = [&](std::initializer_list<Point> points) { Polyline(scene, cx, cy, points, colour, scale, stroke); };
    switch (id) {
    case 1: // pencil: the two long sides, the end, the point
        lines({{-4.5f, 2.5f}, {3.0f, -5.0f}, {5.0f, -3.0f}, {-2.5f, 4.5f}});
        lines({{-4.5f, 2.5f}, {-6.0f, 6.0f}, {-2.5f, 4.5f}});
        break;
    case 2: // reply: an arrow to the left whose shaft bends down
        lines({{-2.0f, -4.5f}, {-6.5f, 0.0f}, {-2.0f, 4.5f}});
        lines({{-6.5f, 0.0f}, {3.0f, 0.0f}, {6.5f, 3.5f}});
        break;
    case 3: // reply all: two heads
        lines({{-3.5f, -4.5f}, {-8.0f, 0.0f}, {-3.5f, 4.5f}});
        lines({{0.5f, -4.5f}, {-4.0f, 0.0f}, {0.5f, 4.5f}});
        lines({{-4.0f, 0.0f}, {4.5f, 0.0f}, {8.0f, 3.5f}});
        break;
    case 4: // forward: the reply arrow mirrored
        lines({{2.0f, -4.5f}, {6.5f, 0.0f}, {2.0f, 4.5f}});
        lines({{6.5f, 0.0f}, {-3.0f, 0.0f}, {-6.5f, 3.5f}});
        break;
    case 5: // waste bin: lid, handle, body
        lines({{-6.5f, -4.0f}, {6.5f, -4.0f}});
        lines({{-2.0f, -4.0f}, {-2.0f, -6.5f}, {2.0f, -6.5f}, {2.0f, -4.0f}});
        lines({{-4.5f, -4.0f}, {-3.5f, 6.5f}, {3.5f, 6.5f}, {4.5f, -4.0f}});
        break;
    case 6:
        RefreshIcon(scene, cx, cy, colour, scale, stroke);
        break;
    default:
        break;
    }
}

} // namespace postern::scene
