// Frames of the main window as a person would see them: the texts and fills
// that make up the list, the rail, the reading header and the toolbar, and
// that nothing is painted outside the window however small it is.
#include "ui/MainScene.h"
#include "ui/Palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace postern {
namespace {

MessageRow Row(std::u16string sender, std::u16string subject, bool seen, size_t members = 0, uint32_t account = 0)
{
    MessageRow row;
    row.header.seen = seen;
    row.account = account;
    row.senderText = std::move(sender);
    row.subjectText = std::move(subject);
    row.members.resize(members);
    return row;
}

RailItem Item(int32_t account, bool isAccount, std::u16string label)
{
    RailItem item;
    item.account = account;
    item.isAccount = isAccount;
    item.label = std::move(label);
    item.bright = !isAccount;
    return item;
}

// What a frame is built from; the input points into the other members.
struct Window {
    explicit Window(float width = 1280, float height = 840, float scale = 1)
    {
        input.metrics = {width, height, scale, 230, 360};
        input.accountCount = 1;
        input.rail.items = &rail;
        input.list.list = &list;
        input.list.folderSelected = true;
    }
    Window(const Window&) = delete;

    MainScene Build(bool messageOpen = false)
    {
        input.shown = messageOpen ? &message : nullptr;
        return BuildMainScene(input);
    }

    ListState list;
    std::vector<RailItem> rail;
    ParsedMessage message;
    MainSceneInput input;
};

const Shape* FindText(const MainScene& frame, std::u16string_view text)
{
    for (const Shape& s : frame.scene.Shapes()) {
        if (s.kind == ShapeKind::text && s.text == text)
            return &s;
    }
    return nullptr;
}

std::vector<uint32_t> CircleColours(const MainScene& frame)
{
    std::vector<uint32_t> colours;
    for (const Shape& s : frame.scene.Shapes()) {
        if (s.kind == ShapeKind::fillCircle)
            colours.push_back(s.colour);
    }
    return colours;
}

TEST(MainScene, AnEmptyListSaysWhy)
{
    struct Case {
        std::u16string filter;
        bool loading;
        bool folderSelected;
        std::u16string_view expected;
    } const cases[] = {
        {u"budget", true, true, u"No matching mail"}, {u"", true, true, u"Syncing\u2026"},
        {u"", false, false, u"Select a folder"},      {u"", false, true, u"No messages"},
    };
    for (const Case& c : cases) {
        Window w;
        w.list.filterText = c.filter;
        w.list.loading = c.loading;
        w.input.list.folderSelected = c.folderSelected;
        EXPECT_NE(FindText(w.Build(), c.expected), nullptr) << std::string(c.expected.begin(), c.expected.end());
    }
}

TEST(MainScene, RowsShowSenderSubjectConversationSizeAndUnread)
{
    Window w;
    w.list.viewRows = {Row(u"Anna", u"Budget", false, 3), Row(u"", u"", true, 1),
                       Row(u"Bo", u"x\u202Egpj.exe", true)};
    const MainScene frame = w.Build();

    const Shape* anna = FindText(frame, u"Anna");
    ASSERT_NE(anna, nullptr);
    EXPECT_EQ(anna->font, SceneFont::bodyStrong);
    EXPECT_NE(FindText(frame, u"3"), nullptr);
    EXPECT_EQ(FindText(frame, u"1"), nullptr); // a lone message is no conversation
    const Shape* unknown = FindText(frame, u"(unknown sender)");
    ASSERT_NE(unknown, nullptr);
    EXPECT_EQ(unknown->font, SceneFont::body);
    EXPECT_NE(FindText(frame, u"(no subject)"), nullptr);
    EXPECT_NE(FindText(frame, u"xgpj.exe"), nullptr);
    EXPECT_EQ(CircleColours(frame), std::vector<uint32_t>{palette::accent}); // the one unread dot
}

TEST(MainScene, AccountDotsOnlyWithSeveralAccounts)
{
    for (const size_t accounts : {1u, 2u}) {
        SCOPED_TRACE(accounts);
        Window w;
        w.input.accountCount = accounts;
        w.input.list.unifiedSelected = true;
        for (uint32_t a = 0; a < accounts; ++a) {
            w.rail.push_back(Item(static_cast<int32_t>(a), true, u"me@example.test"));
            w.rail.push_back(Item(static_cast<int32_t>(a), false, u"Inbox"));
            w.list.viewRows.push_back(Row(u"Anna", u"Hello", true, 0, a));
        }
        w.input.rail.badges = {0, 7};
        const MainScene frame = w.Build();
        const std::vector<uint32_t> circles = CircleColours(frame);
        if (accounts == 1)
            EXPECT_TRUE(circles.empty());
        else
            EXPECT_NE(std::find(circles.begin(), circles.end(), AccountColour(1)), circles.end());
        const Shape* badge = FindText(frame, u"7");
        ASSERT_NE(badge, nullptr);
        EXPECT_EQ(badge->colour, palette::onAccent);
    }
}

// Fills and texts outside a clip, and the clips themselves, lie inside the
// client area; lines and circles may reach half a pixel beyond.
void ExpectInsideClient(const MainScene& frame, const WindowMetrics& m)
{
    int clips = 0;
    for (const Shape& s : frame.scene.Shapes()) {
        Rect r = s.rect;
        ASSERT_TRUE(std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom)
                    && std::isfinite(s.radius));
        for (const char16_t c : s.text)
            EXPECT_FALSE((c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069));
        clips += s.kind == ShapeKind::pushClip ? 1 : s.kind == ShapeKind::popClip ? -1 : 0;
        if ((clips > 0 && s.kind != ShapeKind::pushClip) || s.kind == ShapeKind::popClip)
            continue;
        if (s.kind == ShapeKind::line)
            r = {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom)};
        else if (s.kind == ShapeKind::fillCircle || s.kind == ShapeKind::strokeCircle)
            r = {r.left - s.radius, r.top - s.radius, r.left + s.radius, r.top + s.radius};
        else if (r.IsEmpty())
            continue; // an empty clip
        const float slack = s.kind == ShapeKind::fillRect || s.kind == ShapeKind::text ? 0 : 0.5f;
        EXPECT_TRUE(r.left >= -slack && r.top >= -slack && r.right <= m.width + slack && r.bottom <= m.height + slack)
            << "shape " << static_cast<int>(s.kind) << " {" << r.left << "," << r.top << "," << r.right << ","
            << r.bottom << "} in " << m.width << "x" << m.height;
    }
    EXPECT_EQ(clips, 0);
}

TEST(MainScene, NothingIsPaintedOutsideTheWindow)
{
    struct Case {
        float width, height, scale;
    } const cases[] = {{0, 0, 1}, {0, 0, 1.5f}, {500, 300, 1}, {500, 300, 1.5f}, {1280, 840, 8}, {1280, 120, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " @" << c.scale);
        Window w(c.width, c.height, c.scale);
        w.input.accountCount = 2;
        for (int32_t a = 0; a < 2; ++a) {
            w.rail.push_back(Item(a, true, u"someone.with.a.long.name@example.test"));
            for (int i = 0; i < 12; ++i)
                w.rail.push_back(Item(a, false, u"Folder \u2067name"));
        }
        w.input.rail.badges.assign(w.rail.size(), 12345);
        w.input.rail.current = 1;
        for (int i = 0; i < 50; ++i)
            w.list.viewRows.push_back(Row(u"Anna \u202Eanna", u"Subject", i % 2 == 0, 4, 1));
        w.list.viewRows[0].folderLabel = u"Archive";
        w.list.currentRow = 0;
        w.input.status = u"50 messages \u202E";
        w.message.subject = "Budget";
        w.message.cc = "carl@example.test";
        w.message.parts.resize(3);
        w.message.parts[0].filename = "report.pdf";
        w.message.parts[2].filename = "x\u202Egpj.exe";
        ExpectInsideClient(w.Build(true), w.input.metrics);
    }
}

TEST(MainScene, PaintingCostsTheSameForAnyFolderSize)
{
    size_t shapes[2] = {};
    for (const size_t rows : {10000u, 20000u}) {
        Window w;
        w.list.viewRows.assign(rows, Row(u"Anna", u"Budget", false, 2));
        w.input.list.scroll = 56 * 3000 + 20; // a row cut at the pane's top
        shapes[rows / 10000 - 1] = w.Build().scene.Shapes().size();
    }
    EXPECT_EQ(shapes[0], shapes[1]);
    EXPECT_LT(shapes[0], 500u);
}

TEST(MainScene, AttachmentChipsNameTheirPartsAndStopAtTheEdge)
{
    Window w;
    w.message.parts.resize(20);
    w.message.parts[0].filename = "a.pdf";
    w.message.parts[2].filename = "x\u202Egpj.exe";
    for (size_t i = 3; i < w.message.parts.size(); ++i)
        w.message.parts[i].filename = "a-rather-long-file-name-of-a-scan-" + std::to_string(i) + ".pdf";
    const MainScene frame = w.Build(true);
    ASSERT_GE(frame.chips.size(), 3u);
    EXPECT_LT(frame.chips.size(), 19u);
    EXPECT_EQ(frame.chips[0].part, 0u);
    EXPECT_EQ(frame.chips[1].part, 2u); // the part without a name has no chip
    EXPECT_EQ(frame.chips[2].part, 3u);
    const Rect reading = ReadingRect(w.input.metrics);
    for (const AttachmentChip& chip : frame.chips)
        EXPECT_LE(chip.rect.right, reading.right - 16);
    EXPECT_NE(FindText(frame, u"\u21E9 xgpj.exe"), nullptr);
}

TEST(MainScene, ButtonsThatNeedAMessageAreGreyWithoutOne)
{
    for (const bool open : {false, true}) {
        Window w;
        const MainScene frame = w.Build(open);
        ASSERT_FALSE(frame.toolbar.compact);
        for (const ToolbarButton& b : frame.toolbar.buttons) {
            const Shape* label = FindText(frame, b.label);
            ASSERT_NE(label, nullptr);
            const bool grey = b.needsMessage && !open;
            EXPECT_EQ(label->colour, grey ? palette::secondaryText : palette::primaryText) << b.id;
        }
    }
}

} // namespace
} // namespace postern
