#include "ReplayCase.h"

#include <gtest/gtest.h>

namespace postern::test {

std::vector<ScriptStep> SignedIn(const std::string& capabilities)
{
    return {
        S("* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] Server ready.\r\n"),
        C("C0001 LOGIN \"u\" \"p\"\r\n"),
        S("C0001 OK [CAPABILITY " + capabilities + "] Logged in\r\n"),
    };
}

std::vector<ScriptStep> Join(std::vector<ScriptStep> a, const std::vector<ScriptStep>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string OpenReplay(ImapSession& session)
{
    ServerLogin login;
    login.host = "replay.invalid";
    login.port = 993;
    login.user = "u";
    login.password = "p";
    std::string error;
    if (!session.Open(login, error))
        return error.empty() ? "open failed without text" : error;
    return {};
}

std::string Outcome(bool ok, const std::string& error, const ImapSession& session)
{
    std::string out = ok ? "ok" : "fail: " + error;
    if (!session.IsConnected())
        out += " connected=0";
    return out;
}

std::string Dump(const std::vector<ImapResponse>& responses)
{
    std::string out;
    for (const ImapResponse& r : responses) {
        if (!out.empty())
            out += '|';
        out += Visible(r.line);
        if (!r.literals.empty()) {
            out += '[';
            for (size_t i = 0; i < r.literals.size(); ++i)
                out += (i ? "," : "") + Visible(r.literals[i]);
            out += ']';
        }
    }
    return out;
}

void RunReplayCase(const ReplayCase& c)
{
    SCOPED_TRACE(c.name);
    const size_t longest = c.splittable ? LongestServerStep(c.script) : 0;
    for (size_t split = 0; split <= longest; ++split) {
        ScriptedStream stream(c.script, split);
        std::string result;
        {
            ImapSession session;
            session.UseStream(&stream);
            result = c.run(session);
            session.UseStream(nullptr);
        }
        ASSERT_EQ(stream.Mismatch(), "") << "split at " << split;
        ASSERT_EQ(result, c.expected) << "split at " << split;
        if (split == 0) {
            EXPECT_TRUE(stream.Finished()) << "script not played to its end";
        }
    }
}

} // namespace postern::test
