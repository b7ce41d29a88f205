#include "ui/MainScene.h"

#include "ui/Palette.h"
#include "ui/SceneParts.h"

#include <string>

namespace postern {

namespace {

void AddStatusBar(const MainSceneInput& input, Scene& scene)
{
    const WindowMetrics& m = input.metrics;
    const Rect bar = StatusBarRect(m);
    if (bar.IsEmpty())
        return;
    scene.FillRect(bar, palette::chrome);
    scene.Line({0, bar.top + 0.5f}, {m.width, bar.top + 0.5f}, palette::border, 1);
    scene.Text({m.Px(14), bar.top + m.Px(5), m.width - m.Px(14), bar.bottom}, input.status, SceneFont::small,
               palette::secondaryText);
}

void AddDragBadge(const MainSceneInput& input, Scene& scene)
{
    if (!input.dragging)
        return;
    const WindowMetrics& m = input.metrics;
    const size_t count = input.dragCount < 1 ? 1 : input.dragCount;
    const std::string number = std::to_string(count);
    const std::u16string text =
        std::u16string(number.begin(), number.end()) + (count == 1 ? u" message" : u" messages");
    const float x = input.dragPoint.x;
    const float y = input.dragPoint.y;
    const float width = DragBadgeWidth(CharacterCount(text), m.scale);
    scene.FillRoundRect({x + m.Px(14), y + m.Px(6), x + m.Px(14) + width, y + m.Px(30)}, m.Px(6), palette::accent);
    scene.Text({x + m.Px(26), y + m.Px(10), x + m.Px(14) + width, y + m.Px(28)}, text, SceneFont::small,
               palette::onAccent);
}

} // namespace

MainScene BuildMainScene(const MainSceneInput& input)
{
    MainScene out;
    out.filter = PlaceFilterBox(input.metrics);
    out.toolbar = LayoutToolbar(input.metrics, out.filter.box);
    scene::AddToolbar(input, out);
    scene::AddRail(input, out);
    scene::AddList(input, out.scene);
    scene::AddReadingHeader(input, out);
    AddStatusBar(input, out.scene);
    AddDragBadge(input, out.scene);
    return out;
}

std::u16string_view EmptyListText(const ListState& list, bool folderSelected)
{
    if (!list.filterText.empty())
        return u"No matching mail";
    if (list.loading)
        return u"Syncing\u2026";
    if (!folderSelected)
        return u"Select a folder";
    return u"No messages";
}

} // namespace postern
