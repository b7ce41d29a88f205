// The main window's pointer and keyboard as the engine sees them: presses,
// drags, splitters, the thumb, the wheel and the context menus, on a window
// of 1280 × 840 pixels at 96 DPI, fed with records instead of a server.
#include "support/OfflineEngine.h"

#include <gtest/gtest.h>

#include <cmath>

namespace postern::test {
namespace {

// Row i's middle, in client pixels, while the list is not scrolled.
float RowY(int32_t row)
{
    return 48 + 56 * static_cast<float>(row) + 28;
}
constexpr float kListX = 400;

class PointerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        offline.Folders(0,
                        {Role("INBOX", &FolderInfo::isInbox), Role("Archive", &FolderInfo::isArchive),
                         Folder("Projects"), Folder("Projects/2026"), Folder("Parent", true), Folder("Parent/Child")});
        std::vector<MessageHeader> headers;
        for (uint32_t uid = 1; uid <= 40; ++uid)
            headers.push_back(Header(uid, "Message " + std::to_string(uid), 1000 - uid, uid % 2 == 0));
        offline.Headers(0, "INBOX", headers);
        offline.app.SetClientSize(1280, 840);
        Paint();
    }

    // A frame leaves the hit areas behind, as painting does.
    void Paint() { (void)offline.app.BuildScene(false); }

    float RailY(const std::u16string& label) const
    {
        const Rect& line = offline.app.RailItems().at(static_cast<size_t>(offline.Index(label))).hitRect;
        return (line.top + line.bottom) / 2;
    }

    // Opens row 0, whose body (INBOX, `uid`) arrives with one attachment.
    void OpenWithAttachment(uint32_t uid, std::string filename)
    {
        app.SelectRow(0, false);
        auto body = std::make_unique<BodyResult>();
        body->account = 0;
        body->mailbox = "INBOX";
        body->uid = uid;
        body->message.parts.push_back({"application/pdf", "", std::move(filename), "", "%PDF"});
        app.HandleRecord(std::move(body));
        Paint();
    }

    PointerReply Press(float x, float y, ClickModifiers modifiers = {})
    {
        return offline.app.OnButtonDown(x, y, modifiers);
    }

    Offline offline{1};
    PosternApp& app = offline.app;
};

TEST_F(PointerTest, PressesSelectRowsAndARowsDragMovesTheSelectionOntoAFolder)
{
    ASSERT_EQ(app.List().viewRows.size(), 40u);
    EXPECT_EQ(Press(kListX, RowY(1)).capture, PointerCapture::take);
    (void)app.OnButtonUp();
    EXPECT_EQ(app.List().currentRow, 1);
    (void)Press(kListX, RowY(3), {false, true});
    (void)app.OnButtonUp();
    EXPECT_EQ(app.List().selectedRows, (std::set<int32_t>{1, 2, 3}));

    // A press on the selection that does not move selects that row alone...
    (void)Press(kListX, RowY(2));
    (void)app.OnMouseMove(kListX + 3, RowY(2) + 3, true);
    (void)app.OnButtonUp();
    EXPECT_EQ(app.List().selectedRows, std::set<int32_t>{2});

    // ...and one that moves 6 pixels carries the whole selection.
    (void)Press(kListX, RowY(3), {false, true});
    (void)app.OnButtonUp();
    (void)Press(kListX, RowY(2));
    EXPECT_FALSE(app.Press().dragging);
    EXPECT_EQ(app.OnMouseMove(kListX, RowY(2) + 6, true).cursor, PointerCursor::no);
    EXPECT_TRUE(app.Press().dragging);
    for (const std::u16string refused : {u"ACCT0", u"Parent"}) {
        (void)app.OnMouseMove(40, RailY(refused), true);
        EXPECT_EQ(app.Press().dropTarget, -1) << "no drop on " << std::string(refused.begin(), refused.end());
    }
    EXPECT_EQ(app.OnMouseMove(60, RailY(u"Archive"), true).cursor, PointerCursor::arrow);
    EXPECT_EQ(app.Press().dropTarget, offline.Index(u"Archive"));
    const MainScene frame = app.BuildScene(false);
    (void)frame; // the badge is drawn while dragging
    EXPECT_EQ(app.OnButtonUp().capture, PointerCapture::release);
    EXPECT_EQ(app.StatusText(), u"Moved 2 to Archive");
    EXPECT_EQ(app.List().viewRows.size(), 38u);
    EXPECT_FALSE(app.Press().Active());
}

TEST_F(PointerTest, ADragEndsWithoutADropWhenTheCaptureIsLostOrTheButtonWentUpUnseen)
{
    for (int way = 0; way < 2; ++way) {
        (void)Press(kListX, RowY(0));
        (void)app.OnMouseMove(60, RailY(u"Archive"), true);
        ASSERT_EQ(app.Press().dropTarget, offline.Index(u"Archive"));
        if (way == 0) {
            EXPECT_TRUE(app.CancelPress());
        } else {
            EXPECT_EQ(app.OnMouseMove(60, RailY(u"Archive"), false).capture, PointerCapture::release);
        }
        EXPECT_FALSE(app.Press().Active());
        (void)app.OnButtonUp(); // a later release drops nothing
        EXPECT_EQ(app.List().viewRows.size(), 40u);
    }
    EXPECT_FALSE(app.CancelPress());
}

TEST_F(PointerTest, RailClicksOpenAndFoldAndNothingUnderTheStatusBarTakesClicks)
{
    (void)Press(100, RailY(u"Archive"));
    EXPECT_EQ(app.CurrentFolder(), offline.Index(u"Archive"));

    const size_t lines = app.RailItems().size();
    const float projects = RailY(u"Projects");
    (void)Press(20, projects); // the chevron
    EXPECT_FALSE(app.RailItems().at(static_cast<size_t>(offline.Index(u"Projects"))).expanded);
    EXPECT_EQ(app.RailItems().size(), lines);
    EXPECT_EQ(app.CurrentFolder(), offline.Index(u"Archive"));

    // Back to the inbox: a filter is cleared on the way, and the window is
    // told to empty its box.
    app.FilterChanged(u"Message 1");
    EXPECT_TRUE(Press(100, RailY(u"Inbox")).clearFilterBox);
    EXPECT_TRUE(app.List().filterText.empty());
    offline.Headers(0, "INBOX", {Header(7, "seven", 10)});
    Paint();

    // The status bar covers y 814..840: a row or a line scrolled there is
    // not there for the pointer.
    offline.Headers(0, "INBOX", std::vector<MessageHeader>(20, Header(9, "nine", 10)));
    const int32_t before = app.List().currentRow;
    (void)Press(kListX, 820);
    app.OnRightButtonDown(kListX, 820);
    EXPECT_EQ(app.List().currentRow, before);
    EXPECT_EQ(app.ContextMenuAt(kListX, 820).target, ContextMenuRequest::Target::none);
}

TEST_F(PointerTest, SplittersWheelAndThumbKeepEveryOffsetInRangeAndWidthsReachTheSettingsFile)
{
    EXPECT_EQ(app.CursorAt(230, 300), PointerCursor::sizeWestEast);
    EXPECT_EQ(Press(230, 300).capture, PointerCapture::take);
    (void)app.OnMouseMove(40, 300, true);
    EXPECT_EQ(app.RailWidth(), kMinRailWidth);
    (void)app.OnMouseMove(300, 300, true);
    (void)app.OnButtonUp();
    AppSettings saved;
    ASSERT_TRUE(LoadSettingsFrom(app.SettingsFile(), saved));
    EXPECT_EQ(saved.railW, 300);

    // The list splitter's double click puts the list back to 360 units.
    (void)Press(300 + 360, 300);
    (void)app.OnMouseMove(2000, 300, true);
    (void)app.OnButtonUp();
    EXPECT_EQ(app.ListWidth(), kMaxListWidth);
    app.OnDoubleClick(300 + 720, 300, [](std::u16string_view, bool) { return 10.0f; });
    EXPECT_EQ(app.ListWidth(), kDefaultListWidth);
    app.OnDoubleClick(300, 300, [](std::u16string_view, bool) { return 10.0f; });
    EXPECT_EQ(app.RailWidth(), kMinRailWidth) << "short labels fit the narrowest rail";
    ASSERT_TRUE(LoadSettingsFrom(app.SettingsFile(), saved));
    EXPECT_EQ(saved.listW, 360);
    EXPECT_EQ(saved.railW, 150);
    Paint();

    // The wheel: 84 pixels a notch over the list, a quarter of that for a
    // fine-grained delta of 30; never past either end.
    app.OnWheel(kListX, 300, -120);
    EXPECT_FLOAT_EQ(app.ListScroll(), 84);
    app.OnWheel(kListX, 300, 30);
    EXPECT_FLOAT_EQ(app.ListScroll(), 63);
    app.OnWheel(kListX, 300, 1200);
    EXPECT_FLOAT_EQ(app.ListScroll(), 0);
    app.OnWheel(kListX, 300, -120000);
    EXPECT_FLOAT_EQ(app.ListScroll(), MaxListScroll(app.Metrics(), 40));

    // A press on the scrollbar below the thumb jumps it there; a window
    // shrunk under the thumb leaves nothing to divide by.
    const float barX = (150 + 360) - 6;
    (void)Press(barX, 100);
    EXPECT_TRUE(app.Press().thumb);
    EXPECT_LT(app.ListScroll(), MaxListScroll(app.Metrics(), 40));
    app.SetClientSize(1280, 100);
    (void)app.OnMouseMove(barX, 90, true);
    EXPECT_TRUE(std::isfinite(app.ListScroll()));
    EXPECT_EQ(app.ListScroll(), 0);
    EXPECT_EQ(app.OnButtonUp().capture, PointerCapture::release);
}

TEST_F(PointerTest, ContextMenusFindTheirFolderAndRowAgainAfterARebuild)
{
    EXPECT_EQ(app.ContextMenuAt(40, RailY(u"ACCT0")).target, ContextMenuRequest::Target::none);
    EXPECT_EQ(app.ContextMenuAt(40, RailY(u"Parent")).target, ContextMenuRequest::Target::none);
    EXPECT_EQ(app.KeyboardContextMenu().target, ContextMenuRequest::Target::none) << "no current row";

    app.OnRightButtonDown(kListX, RowY(4)); // uid 5, unread
    const ContextMenuRequest rowMenu = app.ContextMenuAt(kListX, RowY(4));
    ASSERT_EQ(rowMenu.target, ContextMenuRequest::Target::row);
    EXPECT_EQ(rowMenu.entries.front().id, command::markUnread) << "opening the row marked it read";
    EXPECT_EQ(app.KeyboardContextMenu().row.uid, 5u);

    // New mail arrives while the menu is open: the row moves down by one.
    std::vector<MessageHeader> headers{Header(99, "new", 2000, false)};
    for (uint32_t uid = 1; uid <= 40; ++uid)
        headers.push_back(Header(uid, "Message " + std::to_string(uid), 1000 - uid, true));
    offline.Headers(0, "INBOX", headers);
    app.RunContextCommand(rowMenu, command::markUnread);
    EXPECT_FALSE(app.List().viewRows.at(5).header.seen);
    EXPECT_EQ(app.List().viewRows.at(5).header.uid, 5u);
    EXPECT_FALSE(app.List().viewRows.at(0).header.seen) << "the new row is untouched";

    // The folder menu's folder is found by name after the rail was rebuilt.
    app.SelectFolder(offline.Index(u"Archive"), false);
    offline.Headers(0, "Archive", {Header(3, "old", 10, false)});
    Paint();
    const ContextMenuRequest folderMenu = app.ContextMenuAt(40, RailY(u"Archive"));
    ASSERT_EQ(folderMenu.target, ContextMenuRequest::Target::folder);
    offline.Folders(0, {Role("INBOX", &FolderInfo::isInbox), Folder("Aaa"), Role("Archive", &FolderInfo::isArchive)});
    app.RunContextCommand(folderMenu, command::markAllRead);
    EXPECT_TRUE(app.List().viewRows.at(0).header.seen);
}

TEST_F(PointerTest, ToolbarButtonsNeedAnOpenMessageAndTheWindowsOwnCommandsGoBack)
{
    const auto buttonX = [&](int32_t id) {
        for (const ToolbarButton& button : app.PaintedButtons()) {
            if (button.id == id)
                return (button.rect.left + button.rect.right) / 2;
        }
        return -1.0f;
    };
    (void)Press(buttonX(kDeleteButton), 24);
    EXPECT_EQ(app.List().viewRows.size(), 40u) << "no message is open";
    EXPECT_EQ(Press(buttonX(1), 24).command, command::newMessage);

    OpenWithAttachment(1, "a.pdf");
    (void)Press(buttonX(kDeleteButton), 24);
    EXPECT_EQ(app.List().viewRows.size(), 39u);

    // An attachment chosen for saving stays that message's, whatever the
    // reading pane shows when the dialog closes.
    OpenWithAttachment(2, "b.pdf");
    ASSERT_FALSE(app.PaintedChips().empty());
    const Rect chip = app.PaintedChips().front().rect;
    const PointerReply reply = Press(chip.left + 2, chip.top + 2);
    ASSERT_TRUE(reply.saveAttachment);
    EXPECT_EQ(reply.saveAttachment->uid, 2u);
    app.OnListKey(ListKey::down);
    EXPECT_EQ(app.AttachmentFileName(*reply.saveAttachment), u"b.pdf") << "from the body cache";
}

} // namespace
} // namespace postern::test
