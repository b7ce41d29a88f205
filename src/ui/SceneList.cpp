#include "ui/Palette.h"
#include "ui/SceneParts.h"

#include <string>

namespace postern::scene {

namespace {

std::u16string Number(size_t n)
{
    const std::string digits = std::to_string(n);
    return {digits.begin(), digits.end()};
}

void AddRow(const MainSceneInput& input, Scene& scene, const Rect& pane, int32_t index, float y)
{
    const WindowMetrics& m = input.metrics;
    const ListSceneInput& in = input.list;
    const ListState& list = *in.list;
    const MessageRow& row = list.viewRows[static_cast<size_t>(index)];
    const float left = pane.left;
    const float right = pane.right;
    const bool current = index == list.currentRow;
    const bool unread = !row.header.seen;

    if (current || list.selectedRows.count(index) > 0)
        scene.FillRect({left, y, right - 1, y + m.Px(kRowHeight)}, palette::selected);
    else if (index == in.hoverRow)
        scene.FillRect({left, y, right - 1, y + m.Px(kRowHeight)}, palette::hover);
    if (current)
        scene.FillRect({left, y + m.Px(6), left + m.Px(3), y + m.Px(50)}, palette::accent);

    if (in.isLocked && in.isLocked(index))
        LockGlyph(scene, left + m.Px(12), y + m.Px(28), palette::accent, m.scale);
    else if (unread)
        scene.FillCircle({left + m.Px(11), y + m.Px(28)}, m.Px(3), palette::accent);

    const float x0 = left + m.Px(22);
    float limit = right - m.Px(74);
    if (row.members.size() > 1) {
        const float w = ConversationBadgeWidth(row.members.size(), m.scale);
        scene.FillRoundRect({limit - w, y + m.Px(9), limit, y + m.Px(25)}, m.Px(8), palette::chip);
        scene.Text({limit - w + m.Px(7), y + m.Px(9), limit, y + m.Px(25)}, Number(row.members.size()),
                   SceneFont::small, palette::secondaryText);
        limit -= w + m.Px(6);
    }
    scene.Text({x0, y + m.Px(8), limit, y + m.Px(28)},
               row.senderText.empty() ? std::u16string_view(u"(unknown sender)") : row.senderText,
               unread ? SceneFont::bodyStrong : SceneFont::body, unread ? palette::strongText : palette::primaryText);
    scene.Text({right - m.Px(70), y + m.Px(10), right - m.Px(10), y + m.Px(26)}, row.dateText, SceneFont::small,
               palette::secondaryText);

    float subjectLimit = right - m.Px(14);
    const bool severalAccounts = input.accountCount > 1;
    if (!row.folderLabel.empty()) {
        const float w = FolderChipWidth(CharacterCount(row.folderLabel), m.scale);
        const float chipLeft = right - m.Px(14) - w;
        scene.FillRoundRect({chipLeft, y + m.Px(30), right - m.Px(14), y + m.Px(48)}, m.Px(9), palette::chip);
        float labelX = chipLeft + m.Px(9);
        if (severalAccounts) {
            scene.FillCircle({chipLeft + m.Px(9), y + m.Px(39)}, m.Px(2.6f), AccountColour(row.account));
            labelX = chipLeft + m.Px(16);
        }
        scene.Text({labelX, y + m.Px(31), right - m.Px(14), y + m.Px(48)}, row.folderLabel, SceneFont::small,
                   palette::secondaryText);
        subjectLimit = chipLeft - m.Px(8);
    } else if (in.unifiedSelected && severalAccounts) {
        scene.FillCircle({right - m.Px(14), y + m.Px(38)}, m.Px(3.2f), AccountColour(row.account));
    }
    scene.Text({x0, y + m.Px(29), subjectLimit, y + m.Px(49)},
               row.subjectText.empty() ? std::u16string_view(u"(no subject)") : row.subjectText, SceneFont::body,
               unread ? palette::primaryText : palette::secondaryText);

    const float separatorY = y + m.Px(kRowHeight) - 0.5f;
    scene.Line({left + m.Px(12), separatorY}, {right - m.Px(12), separatorY}, palette::border, 1, 0.55f);
}

} // namespace

void AddList(const MainSceneInput& input, Scene& scene)
{
    const WindowMetrics& m = input.metrics;
    const Rect pane = ListRect(m);
    if (pane.IsEmpty() || !input.list.list)
        return;
    const ListSceneInput& in = input.list;
    const ListState& list = *in.list;
    scene.FillRect(pane, palette::background);
    scene.Line({pane.right - 0.5f, pane.top}, {pane.right - 0.5f, pane.bottom}, palette::border, 1);
    scene.PushClip(pane);
    if (list.viewRows.empty()) {
        scene.Text({pane.left + m.Px(20), pane.top + m.Px(20), pane.right, pane.top + m.Px(44)},
                   EmptyListText(list, in.folderSelected), SceneFont::body, palette::secondaryText);
        scene.PopClip();
        return;
    }
    const RowRange range = VisibleRows(m, list.viewRows.size(), in.scroll, in.shift);
    for (int32_t i = range.first; i < range.last; ++i) {
        const float y = RowTop(m, i, in.scroll, in.shift);
        if (y + m.Px(kRowHeight) <= pane.top || y >= pane.bottom)
            continue;
        AddRow(input, scene, pane, i, y);
    }
    const ScrollThumb thumb = ListScrollThumb(m, list.viewRows.size(), in.scroll);
    if (thumb.shown) {
        scene.FillRect(thumb.track, palette::border, 0.4f);
        scene.FillRoundRect({thumb.thumb.left, thumb.thumb.top + 1, thumb.thumb.right, thumb.thumb.bottom - 1}, m.Px(3),
                            palette::thumb);
    }
    scene.PopClip();
}

} // namespace postern::scene
