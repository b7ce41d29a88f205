// What a compose window's Send turns into: the fields it collected plus what
// it was opened with (quotations, threading headers, the answered message).
#include "compose/SendRequest.h"

#include "compose/ReplyDrafting.h"
#include "compose/RtfToHtml.h"
#include "platform/Charset.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace postern {
namespace {

const DraftingAccount kAccount{2, "Work", "me@x.org"};
const char* const kRtf = "{\\rtf1\\ansi Thanks, {\\b see} you\\par}";

ParsedMessage Source()
{
    ParsedMessage m;
    m.from = "Anna <anna@x.org>";
    m.to = "me@x.org";
    m.subject = "Plan";
    m.messageId = "<m1@x.org>";
    m.textBody = "the plan\r\n";
    return m;
}

ComposeFields Fields(std::u16string to)
{
    ComposeFields fields;
    fields.to = std::move(to);
    fields.cc = u"  bo@x.org\t";
    fields.subject = u" Re: Plan \r\n";
    fields.bodyText = u"Thanks, see you\r\n";
    fields.bodyRtf = kRtf;
    fields.attachments.push_back({"a.txt", "", "bytes"});
    return fields;
}

SendRequest Built(const ComposeRequest& opened, ComposeFields fields)
{
    SendRequest request;
    std::string error;
    EXPECT_TRUE(BuildSendRequest(opened, std::move(fields), request, error)) << error;
    return request;
}

TEST(SendRequest, NewMessageIsTheFieldsTrimmedWithTheEditorHtmlWrapped)
{
    ComposeRequest opened;
    opened.accountIndex = 2;
    const SendRequest r = Built(opened, Fields(u" Anna <anna@x.org> "));
    EXPECT_EQ(r.accountIndex, 2);
    EXPECT_EQ(r.message.to, "Anna <anna@x.org>");
    EXPECT_EQ(r.message.cc, "bo@x.org");
    EXPECT_EQ(r.message.subject, "Re: Plan");
    EXPECT_EQ(r.message.textBody, "Thanks, see you\r\n");
    EXPECT_EQ(r.message.htmlBody, "<html><body>" + RtfToHtml(kRtf) + "</body></html>");
    EXPECT_NE(r.message.htmlBody.find("<b>see</b>"), std::string::npos) << r.message.htmlBody;
    ASSERT_EQ(r.message.attachments.size(), 1u);
    EXPECT_EQ(r.message.attachments[0].data, "bytes");
    EXPECT_EQ(r.message.inReplyTo, "");
    EXPECT_EQ(r.message.references, "");
    EXPECT_EQ(r.answeredUid, 0u);
    EXPECT_EQ(r.answeredMailbox, "");
}

TEST(SendRequest, RepliesAndForwardsAppendTheirQuotationsAndOnlyRepliesAnswer)
{
    const ComposeRequest reply = BuildReplyRequest(Source(), "Projects", 42, kAccount, false);
    const ComposeRequest forward = BuildForwardRequest(Source(), kAccount);
    for (const ComposeRequest* opened : {&reply, &forward}) {
        const bool isReply = opened == &reply;
        SCOPED_TRACE(isReply ? "reply" : "forward");
        const SendRequest r = Built(*opened, Fields(u"anna@x.org"));
        EXPECT_EQ(r.accountIndex, 2);
        EXPECT_EQ(r.message.textBody, "Thanks, see you\r\n\r\n\r\n" + opened->quoteText);
        EXPECT_EQ(r.message.htmlBody,
                  "<html><body>" + RtfToHtml(kRtf) + "<br><br>" + opened->quoteHtml + "</body></html>");
        EXPECT_EQ(r.message.inReplyTo, isReply ? "<m1@x.org>" : "");
        EXPECT_EQ(r.message.references, isReply ? "<m1@x.org>" : "");
        EXPECT_EQ(r.answeredUid, isReply ? 42u : 0u);
        EXPECT_EQ(r.answeredMailbox, isReply ? "Projects" : "");
    }
}

TEST(SendRequest, ToWithoutAnAddressIsRefusedAndNothingIsFilled)
{
    for (const std::u16string to : {u"", u"  \t ", u"  Anna Berg  "}) {
        SendRequest request;
        request.answeredUid = 9;
        std::string error;
        ComposeFields fields = Fields(to);
        fields.cc = u"bo@x.org"; // Cc is not a way around an empty To
        EXPECT_FALSE(BuildSendRequest(ComposeRequest{}, std::move(fields), request, error));
        EXPECT_EQ(error, kNoRecipientText);
        EXPECT_EQ(request.answeredUid, 9u);
    }
}

TEST(SendRequest, EveryEntryOfToAndCcMustBeAnAddress)
{
    const struct {
        std::u16string_view to, cc;
        std::string error; // empty: accepted
    } cases[] = {
        {u"alice@x.org, bob", u"", "Not an address: bob"},
        {u"alice@x.org", u"carol@x.org, Dave Smith", "Not an address: Dave Smith"},
        {u"bob, alice@x.org", u"", "Not an address: bob"},
        {u"alice@x.org, ", u"", ""},
        {u"\"Berg, Anna\" <anna@x.org>, Bob <bob@x.org>", u"carol@x.org", ""},
        {u"Team: alice@x.org, bob@x.org;", u"", ""},
    };
    for (const auto& c : cases) {
        SendRequest request;
        std::string error;
        ComposeFields fields = Fields(std::u16string(c.to));
        fields.cc = c.cc;
        EXPECT_EQ(BuildSendRequest(ComposeRequest{}, std::move(fields), request, error), c.error.empty())
            << Utf16ToUtf8(c.to);
        EXPECT_EQ(error, c.error) << Utf16ToUtf8(c.to);
    }
}

TEST(SendRequest, LineBreakInsideAFieldIsRefused)
{
    for (const auto& [to, cc, subject] : {std::tuple{u"b@localhost\r\n<evil@x>", u"", u"s"},
                                          std::tuple{u"b@localhost", u"c@x\n<evil@x>", u"s"},
                                          std::tuple{u"b@localhost", u"", u"s\rBcc: evil@x"}}) {
        SendRequest request;
        std::string error;
        ComposeFields fields = Fields(to);
        fields.cc = cc;
        fields.subject = subject;
        EXPECT_FALSE(BuildSendRequest(ComposeRequest{}, std::move(fields), request, error));
        EXPECT_EQ(error.rfind("A line break is not allowed in ", 0), 0u) << error;
    }
}

} // namespace
} // namespace postern
