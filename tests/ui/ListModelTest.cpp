// The list state through folder loads, filter and grouping changes and
// search hits: which message stays current, the selection invariants, the
// status line and the list dates.
#include "ui/ListDate.h"
#include "ui/ListModel.h"
#include "ui/StatusText.h"

#include "platform/Charset.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace postern {
namespace {

MessageHeader Header(uint32_t uid, const std::string& from, const std::string& subject, int64_t date,
                     bool seen = true)
{
    MessageHeader h;
    h.uid = uid;
    h.seq = uid;
    h.from = from;
    h.subject = subject;
    h.date = date;
    h.seen = seen;
    h.messageId = "<" + std::to_string(uid) + "@x>";
    return h;
}

std::vector<MessageHeader> Folder()
{
    return {
        Header(5, "Anna Berg <anna@x>", "Re: Budget", 500, false),
        Header(4, "\"Bo Ek\" <bo@x>", "Holiday", 400),
        Header(3, "carl@x", "Budget", 300),
        Header(2, "Anna Berg <anna@x>", "Report", 200, false),
    };
}

void ExpectSelectionConsistent(const ListState& s)
{
    if (s.currentRow == -1) {
        EXPECT_TRUE(s.selectedRows.empty());
    } else {
        ASSERT_GE(s.currentRow, 0);
        ASSERT_LT(static_cast<std::size_t>(s.currentRow), s.viewRows.size());
        EXPECT_EQ(s.selectedRows, std::set<int32_t>{s.currentRow});
    }
    EXPECT_EQ(s.anchorRow, s.currentRow);
}

std::string Status(const ListState& s)
{
    return Utf16ToUtf8(s.statusText);
}

TEST(ListModel, BuildRowTexts)
{
    const MessageRow row = BuildRow(2, "Work/Plans", Header(9, "\"Zoë Ång\" <zoe@x>", "Grüße", 0));
    EXPECT_EQ(row.account, 2u);
    EXPECT_EQ(row.mailbox, "Work/Plans");
    EXPECT_EQ(row.senderText, u"Zoë Ång");
    EXPECT_EQ(row.subjectText, u"Grüße");
    EXPECT_EQ(row.dateText, u""); // no date
    EXPECT_TRUE(row.folderLabel.empty());
    EXPECT_TRUE(row.members.empty());
    EXPECT_EQ(BuildRow(0, "INBOX", Header(1, "", "", 0)).senderText, u"");
    EXPECT_EQ(LockedFolderLabel("INBOX"), u"Inbox");
    EXPECT_EQ(LockedFolderLabel("Inbox/Sub"), u"Inbox/Sub");
    EXPECT_EQ(LockedFolderLabel("inbox"), u"inbox");
}

TEST(ListModel, FolderLoadKeepsTheCurrentMessage)
{
    ListState s;
    RowsApplied applied = ApplyFolderRows(s, 0, "INBOX", Folder(), 4, false, {});
    EXPECT_TRUE(applied.emptyReadingPane);
    EXPECT_EQ(s.currentRow, -1);
    ExpectSelectionConsistent(s);

    SelectOnly(s, 2); // uid 3
    s.selectedRows.insert(3);
    std::vector<MessageHeader> refreshed = Folder();
    refreshed.insert(refreshed.begin(), Header(6, "new@x", "New", 600, false));
    applied = ApplyFolderRows(s, 0, "INBOX", refreshed, 5, true, {});
    EXPECT_FALSE(applied.emptyReadingPane);
    EXPECT_EQ(s.currentRow, 3); // moved down by the new arrival
    EXPECT_EQ(s.viewRows[3].header.uid, 3u);
    ExpectSelectionConsistent(s); // the extra selected row is dropped

    // The same UID in another folder is another message.
    applied = ApplyFolderRows(s, 0, "Archive", refreshed, 5, false, {});
    EXPECT_EQ(s.currentRow, -1);
    EXPECT_TRUE(applied.emptyReadingPane);
    ExpectSelectionConsistent(s);
    EXPECT_FALSE(s.loading);
    EXPECT_EQ(s.folderTotal, 5u);
}

TEST(ListModel, ReopenAfterStartUp)
{
    const struct {
        ReopenRequest reopen;
        bool keepScroll;
        int32_t expected;
    } cases[] = {
        {{true, 0, 4}, false, 1},
        {{true, 1, 4}, false, -1}, // another account's UID 4
        {{true, 0, 99}, false, -1},
        {{false, 0, 4}, false, -1}, // already done once
        {{true, 0, 0}, false, -1},
        {{true, 0, 4}, true, -1},   // a background refresh never opens anything
    };
    for (const auto& c : cases) {
        ListState s;
        EXPECT_EQ(ApplyFolderRows(s, 0, "INBOX", Folder(), 4, c.keepScroll, c.reopen).reopenRow, c.expected);
    }
}

TEST(ListModel, FilterRebuildsAndClearsTheCurrentRow)
{
    ListState s;
    (void)ApplyFolderRows(s, 0, "INBOX", Folder(), 4, false, {});
    SelectOnly(s, 0);
    EXPECT_TRUE(ChangeFilter(s, u"#from:anna report"));
    ASSERT_EQ(s.viewRows.size(), 1u);
    EXPECT_EQ(s.viewRows[0].header.uid, 2u);
    EXPECT_EQ(s.currentRow, -1);
    ExpectSelectionConsistent(s);
    EXPECT_EQ(Status(s), "1 of 4 in view \xC2\xB7 press Enter to search all folders");
    EXPECT_FALSE(ChangeFilter(s, u"#from:anna report")); // an edit that changed nothing

    s.searchResults = true;
    EXPECT_TRUE(ChangeFilter(s, u"budget"));
    EXPECT_FALSE(s.searchResults);
    EXPECT_EQ(s.viewRows.size(), 2u);
    EXPECT_TRUE(ChangeFilter(s, u""));
    EXPECT_EQ(s.viewRows.size(), 4u);
}

TEST(ListModel, GroupingKeepsTheMessageBeingRead)
{
    ListState s;
    (void)ApplyFolderRows(s, 0, "INBOX", Folder(), 4, false, {});
    SelectOnly(s, 2); // uid 3, "Budget", the older member of a conversation
    ChangeConversationMode(s, true);
    ASSERT_EQ(s.viewRows.size(), 3u);
    ASSERT_GE(s.currentRow, 0);
    EXPECT_EQ(s.viewRows[static_cast<std::size_t>(s.currentRow)].header.uid, 5u);
    ExpectSelectionConsistent(s);
    EXPECT_EQ(Status(s), "4 messages \xC2\xB7 2 unread");

    ChangeConversationMode(s, false);
    EXPECT_EQ(s.viewRows.size(), 4u);
    EXPECT_EQ(s.viewRows[static_cast<std::size_t>(s.currentRow)].header.uid, 5u);
    ExpectSelectionConsistent(s);
}

TEST(ListModel, SearchHitsStayWhileTheFolderRefreshes)
{
    ListState s;
    (void)ApplyFolderRows(s, 0, "INBOX", Folder(), 4, false, {});
    (void)ChangeFilter(s, u"budget");
    MessageRow hit = BuildRow(1, "Sent", Header(77, "me@x", "Budget v2", 900));
    hit.folderLabel = u"Sent";
    ShowSearchHits(s, {hit});
    EXPECT_TRUE(s.searchResults);
    SelectOnly(s, 0);

    (void)ApplyFolderRows(s, 0, "INBOX", Folder(), 4, true, {});
    ASSERT_EQ(s.viewRows.size(), 1u);
    EXPECT_EQ(s.viewRows[0].header.uid, 77u);
    EXPECT_EQ(s.currentRow, 0);
    EXPECT_EQ(Status(s), "1 of 4 match \xC2\xB7 2 unread");

    ShowSearchHits(s, {BuildRow(0, "INBOX", Header(1, "x@x", "Budget", 1)), hit});
    EXPECT_EQ(s.currentRow, 1); // still the hit being read
    ExpectSelectionConsistent(s);
}

TEST(ListModel, StatusLines)
{
    const struct {
        std::size_t rows;
        std::size_t unread;
        uint32_t folderTotal;
        std::u16string filter;
        bool searchResults;
        bool unified;
        int selected;
        const char* expected;
    } cases[] = {
        {0, 0, 0, u"", false, false, 0, "0 messages \xC2\xB7 0 unread"},
        {1, 1, 1, u"", false, false, 0, "1 message \xC2\xB7 1 unread"},
        {3, 1, 3, u"", false, false, 0, "3 messages \xC2\xB7 1 unread"},
        {3, 0, 250, u"", false, false, 0, "latest 3 of 250 messages \xC2\xB7 0 unread"},
        {3, 2, 250, u"", false, true, 0, "3 messages \xC2\xB7 2 unread \xC2\xB7 2 inboxes"},
        {3, 2, 3, u"x", false, true, 0, "3 of 3 in view \xC2\xB7 press Enter to search all folders"},
        {3, 2, 3, u"x", true, false, 0, "3 of 3 match \xC2\xB7 2 unread"},
        {3, 2, 3, u"x", true, false, 1, "3 of 3 match \xC2\xB7 2 unread"},
        {3, 2, 3, u"x", true, false, 2, "2 selected \xE2\x80\x94 Delete removes all"},
        {3, 0, 300, u"", false, false, 3, "3 selected \xE2\x80\x94 Delete removes all"},
    };
    for (const auto& c : cases) {
        ListState s;
        for (std::size_t i = 0; i < c.rows; ++i) {
            MessageRow row;
            row.header.seen = i >= c.unread;
            s.allRows.push_back(row);
        }
        s.viewRows = s.allRows;
        s.folderTotal = c.folderTotal;
        s.filterText = c.filter;
        s.searchResults = c.searchResults;
        s.unifiedInbox = c.unified;
        s.accountCount = 2;
        for (int k = 0; k < c.selected; ++k)
            s.selectedRows.insert(k);
        UpdateStatusText(s);
        EXPECT_EQ(Status(s), c.expected);
    }
    EXPECT_EQ(Utf16ToUtf8(SearchStatusText(1, true)), "1 result in all folders");
    EXPECT_EQ(Utf16ToUtf8(SearchStatusText(0, false)), "0 results in all folders \xE2\x80\x94 searching\xE2\x80\xA6");
    EXPECT_EQ(Utf16ToUtf8(SearchStatusText(12, true)), "12 results in all folders");
}

TEST(ListDate, ThreeForms)
{
    const CivilTime now{2024, 6, 11, 15, 30, 0, 2};
    const struct {
        CivilTime when;
        const char16_t* expected;
    } cases[] = {
        {{2024, 6, 11, 9, 5, 0, 2}, u"09:05"},
        {{2024, 6, 11, 0, 0, 0, 2}, u"00:00"},
        {{2024, 6, 10, 23, 59, 0, 1}, u"Jun 10"},
        {{2024, 1, 1, 12, 0, 0, 1}, u"Jan 1"},
        {{2024, 12, 31, 12, 0, 0, 2}, u"Dec 31"}, // future days of this year
        {{2024, 5, 11, 15, 30, 0, 6}, u"May 11"},  // same day of the month, other month
        {{2023, 6, 11, 15, 30, 0, 0}, u"2023-06-11"},
        {{2025, 2, 3, 1, 2, 0, 1}, u"2025-02-03"},
        {{987, 1, 2, 0, 0, 0, 0}, u"0987-01-02"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatListDateFields(c.when, now), c.expected);
}

TEST(ListDate, AgainstTheClock)
{
    EXPECT_EQ(FormatListDate(0), u"");
    EXPECT_EQ(FormatListDate(-5), u"");
    const int64_t now = NowUnixSeconds();
    const CivilTime local = ToLocalTime(now);
    char expected[8];
    std::snprintf(expected, sizeof expected, "%02d:%02d", local.hour, local.minute);
    const std::u16string text = FormatListDate(now);
    // The minute may turn between the two readings of the clock.
    if (text != Utf8ToUtf16(expected)) {
        EXPECT_EQ(text, FormatListDateFields(ToLocalTime(now), ToLocalTime(NowUnixSeconds())));
    }
    EXPECT_EQ(FormatListDate(86400 * 3).size(), 10u); // 1970: another year, full date
}

} // namespace
} // namespace postern
