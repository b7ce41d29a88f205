#include "platform/Charset.h"
#include "ui/ListDate.h"
#include "ui/Palette.h"
#include "ui/SceneParts.h"

#include <algorithm>

namespace postern::scene {

void AddReadingHeader(const MainSceneInput& input, MainScene& out)
{
    const WindowMetrics& m = input.metrics;
    Scene& scene = out.scene;
    const Rect pane = ReadingRect(m);
    if (pane.IsEmpty())
        return;
    if (!input.shown) {
        scene.FillRect(pane, palette::background);
        return;
    }
    const ParsedMessage& message = *input.shown;
    const float height = ReadingHeaderHeight(m, true, !message.cc.empty(), !message.parts.empty());
    const Rect header{pane.left, pane.top, pane.right, std::min(pane.bottom, pane.top + height)};
    scene.FillRect(header, palette::background);
    scene.PushClip(header);

    const float x = pane.left + m.Px(20);
    float y = pane.top + m.Px(12);
    const std::u16string subject = Utf8ToUtf16(message.subject);
    scene.Text({x, y, pane.right - m.Px(16), y + m.Px(26)}, subject.empty() ? u"(no subject)" : subject,
               SceneFont::title, palette::strongText);
    y += m.Px(30);
    scene.Text({x, y, pane.right - m.Px(180), y + m.Px(20)}, Utf8ToUtf16(message.from), SceneFont::bodyStrong,
               palette::accent);
    scene.Text({pane.right - m.Px(170), y + m.Px(2), pane.right - m.Px(16), y + m.Px(20)}, FormatListDate(message.date),
               SceneFont::small, palette::secondaryText);
    y += m.Px(21);
    scene.Text({x, y, pane.right - m.Px(16), y + m.Px(18)}, u"to " + Utf8ToUtf16(message.to), SceneFont::small,
               palette::secondaryText);
    y += m.Px(18);
    if (!message.cc.empty()) {
        scene.Text({x, y, pane.right - m.Px(16), y + m.Px(18)}, u"cc " + Utf8ToUtf16(message.cc), SceneFont::small,
                   palette::secondaryText);
        y += m.Px(18);
    }

    float chipX = x;
    for (size_t i = 0; i < message.parts.size(); ++i) {
        if (message.parts[i].filename.empty())
            continue;
        // Counted and shown without bidirectional controls, so that the
        // chip's width fits the name a person sees.
        const std::u16string name = WithoutBidiControls(Utf8ToUtf16(message.parts[i].filename));
        const float w = AttachmentChipWidth(CharacterCount(name), m.scale);
        if (chipX + w > pane.right - m.Px(16))
            break;
        const Rect chip{chipX, y + m.Px(4), chipX + w, y + m.Px(26)};
        scene.FillRoundRect(chip, m.Px(11), palette::chip);
        scene.Text({chipX + m.Px(12), y + m.Px(6), chipX + w, y + m.Px(26)}, u"\u21E9 " + name, SceneFont::small,
                   palette::primaryText);
        out.chips.push_back({i, chip});
        chipX += w + m.Px(8);
    }
    const float lineY = pane.top + height - 0.5f;
    scene.Line({pane.left, lineY}, {pane.right, lineY}, palette::border, 1);
    scene.PopClip();
}

} // namespace postern::scene
