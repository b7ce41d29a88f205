#include "ui/Palette.h"
#include "ui/SceneParts.h"

#include <string>

namespace postern::scene {

namespace {

void AddAccountHeader(const MainSceneInput& input, Scene& scene, const RailItem& item, float y, bool hovered)
{
    const WindowMetrics& m = input.metrics;
    const uint32_t colour = hovered ? palette::primaryText : palette::secondaryText;
    Chevron(scene, m.Px(15), y + m.Px(18), item.expanded, colour, m.scale);
    float x = m.Px(26);
    if (input.accountCount > 1) {
        scene.FillCircle({m.Px(30), y + m.Px(18)}, m.Px(3.5f),
                         AccountColour(static_cast<size_t>(item.account < 0 ? 0 : item.account)));
        x = m.Px(40);
    }
    const float right = RailPaneRect(m).right;
    scene.Text({x, y + m.Px(11), right - m.Px(8), y + m.Px(34)}, item.label, SceneFont::small, colour);
}

void AddFolder(const MainSceneInput& input, Scene& scene, size_t index, const RailItem& item, float y)
{
    const WindowMetrics& m = input.metrics;
    const RailSceneInput& rail = input.rail;
    const float right = RailPaneRect(m).right;
    const bool selected = static_cast<int32_t>(index) == rail.current;
    const bool hovered = static_cast<int32_t>(index) == rail.hover;
    const float bottom = y + m.Px(kFolderLineHeight);

    if (input.dragging && static_cast<int32_t>(index) == rail.dropTarget) {
        scene.FillRect({m.Px(6), y + 1, right - m.Px(6), bottom - 1}, palette::accent, 0.22f);
        scene.StrokeRect({m.Px(6), y + 1.5f, right - m.Px(6), bottom - 1.5f}, palette::accent, 1.4f);
    } else if (selected) {
        scene.FillRect({m.Px(6), y + 1, right - m.Px(6), bottom - 1}, palette::selected);
    } else if (hovered) {
        scene.FillRect({m.Px(6), y + 1, right - m.Px(6), bottom - 1}, palette::hover);
    }
    if (selected)
        scene.FillRect({0, y + m.Px(4), m.Px(3), y + m.Px(24)}, palette::accent);

    const float depth = static_cast<float>(item.depth);
    const float x = m.Px((item.lockedView ? 30.0f : 32.0f) + 15.0f * depth);
    const float glyphX = m.Px(18 + 15 * depth);
    if (item.lockedView) {
        LockGlyph(scene, glyphX, y + m.Px(14), palette::accent, m.scale);
    } else if (item.hasChildren) {
        Chevron(scene, glyphX, y + m.Px(14), item.expanded,
                hovered || selected ? palette::primaryText : palette::secondaryText, m.scale);
    }
    scene.Text({x, y + m.Px(4), right - m.Px(44), bottom}, item.label,
               selected ? SceneFont::bodyStrong : SceneFont::body,
               item.bright ? palette::primaryText : palette::secondaryText);

    const uint32_t unread = index < rail.badges.size() ? rail.badges[index] : 0;
    if (unread > 0) {
        const float badgeRight = right - m.Px(12);
        const float width = UnreadBadgeWidth(unread, m.scale);
        scene.FillRoundRect({badgeRight - width, y + m.Px(5), badgeRight, y + m.Px(23)}, m.Px(9), palette::accent);
        const std::string digits = std::to_string(unread);
        scene.Text({badgeRight - width + m.Px(6), y + m.Px(6), badgeRight, y + m.Px(23)},
                   std::u16string(digits.begin(), digits.end()), SceneFont::small, palette::onAccent);
    }
}

} // namespace

void AddRail(const MainSceneInput& input, MainScene& out)
{
    const WindowMetrics& m = input.metrics;
    Scene& scene = out.scene;
    const Rect pane = RailPaneRect(m);
    static const std::vector<RailItem> kNone;
    const std::vector<RailItem>& items = input.rail.items ? *input.rail.items : kNone;
    out.railRects = RailItemRects(items, m, input.rail.scroll);
    if (pane.IsEmpty())
        return;
    scene.FillRect(pane, palette::chrome);
    scene.Line({pane.right - 0.5f, pane.top}, {pane.right - 0.5f, pane.bottom}, palette::border, 1);
    scene.PushClip(pane);
    for (size_t i = 0; i < items.size(); ++i) {
        const Rect& line = out.railRects[i];
        if (line.IsEmpty() || line.bottom <= pane.top || line.top >= pane.bottom)
            continue; // hidden, or scrolled out of the rail
        if (items[i].isAccount)
            AddAccountHeader(input, scene, items[i], line.top, static_cast<int32_t>(i) == input.rail.hover);
        else
            AddFolder(input, scene, i, items[i], line.top);
    }
    const ScrollThumb thumb = RailScrollThumb(m, RailContentHeight(items, m.scale), input.rail.scroll);
    if (thumb.shown)
        scene.FillRoundRect(thumb.thumb, m.Px(2.5f), palette::thumb);
    scene.PopClip();
}

} // namespace postern::scene
