#include "ui/Palette.h"
#include "ui/SceneParts.h"

namespace postern::scene {

void AddToolbar(const MainSceneInput& input, MainScene& out)
{
    const WindowMetrics& m = input.metrics;
    Scene& scene = out.scene;
    const Rect bar = ToolbarRect(m);
    if (bar.IsEmpty())
        return;
    scene.FillRect(bar, palette::chrome);
    const float lineY = bar.bottom - 0.5f;
    scene.Line({0, lineY}, {m.width, lineY}, palette::border, 1);
    scene.Text({m.Px(16), m.Px(14), m.Px(140), m.Px(38)}, u"POSTERN", SceneFont::brand, palette::accent);

    const bool messageOpen = input.shown != nullptr;
    scene.PushClip(out.toolbar.clip);
    for (const ToolbarButton& button : out.toolbar.buttons) {
        const Rect& r = button.rect;
        const bool enabled = !button.needsMessage || messageOpen;
        const bool hovered = enabled && button.id == input.hoverButton;
        if (hovered)
            scene.FillRoundRect(r, m.Px(5), palette::hover);
        const uint32_t colour = !enabled                                ? palette::secondaryText
                                : hovered && button.id == kDeleteButton ? palette::destructive
                                                                        : palette::primaryText;
        const float iconX = out.toolbar.compact ? (r.left + r.right) / 2 : r.left + m.Px(16);
        ToolbarIcon(scene, button.id, iconX, m.Px(24), colour, m.scale);
        if (!out.toolbar.compact)
            scene.Text({r.left + m.Px(30), m.Px(15), r.right, m.Px(40)}, button.label, SceneFont::body, colour);
    }
    scene.PopClip();

    const Rect& box = out.filter.box;
    if (box.IsEmpty())
        return;
    scene.FillRoundRect(box, box.Height() / 2, palette::chip);
    if (input.filterFocused)
        scene.StrokeRoundRect(box, box.Height() / 2, palette::accent, 1.6f);
    else
        scene.StrokeRoundRect(box, box.Height() / 2, palette::border, 1.0f);
    const uint32_t glass = input.filterFocused ? palette::accent : palette::secondaryText;
    const Point centre{box.left + m.Px(15), (box.top + box.bottom) / 2 - m.Px(1.5f)};
    scene.StrokeCircle(centre, m.Px(4.5f), glass, 1.6f);
    scene.Line({centre.x + m.Px(3.4f), centre.y + m.Px(3.4f)}, {centre.x + m.Px(7.2f), centre.y + m.Px(7.2f)}, glass,
               1.9f);
}

} // namespace postern::scene
