#include "support/DovecotFixture.h"

#include "mail/ImapMailbox.h"
#include "platform/TlsConnection.h"
#include "support/FixtureEnv.h"

#include "mail/Base64.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace postern::test {

ServerLogin FixtureLogin(int user)
{
    ServerLogin login;
    login.host = "localhost";
    login.port = FixturePort("POSTERN_IMAP_PORT");
    const std::string n = std::to_string(user);
    login.user = FixtureValue(("POSTERN_USER" + n).c_str());
    login.password = FixtureValue(("POSTERN_PASS" + n).c_str());
    return login;
}

const std::string& RunPrefix()
{
    static const std::string prefix = [] {
        std::random_device random;
        char text[16];
        std::snprintf(text, sizeof text, "t%08x", static_cast<unsigned>(random()));
        return std::string(text);
    }();
    return prefix;
}

std::string OpenFixture(ImapSession& session, int user)
{
    std::string error;
    if (!session.Open(FixtureLogin(user), error))
        return error.empty() ? "open failed without text" : error;
    return {};
}

std::string MakeFolder(ImapSession& session, const std::string& name, std::string& error)
{
    const std::string full = RunPrefix() + "/" + name;
    std::vector<ImapResponse> untagged;
    if (!session.Command("CREATE " + ImapSession::Quote(full), untagged, error))
        return {};
    return full;
}

void DropRunFolders(ImapSession& session)
{
    if (!session.IsConnected())
        return;
    std::vector<FolderInfo> folders;
    std::string error;
    if (!ListFolders(session, folders, error))
        return;
    // Children before parents: longest names first.
    std::vector<std::string> names;
    for (const FolderInfo& f : folders) {
        if (f.name.rfind(RunPrefix(), 0) == 0)
            names.push_back(f.name);
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    std::vector<ImapResponse> untagged;
    // Dovecot disconnects a client whose selected mailbox is deleted ("BYE
    // Selected mailbox was deleted"), which left the remaining folders behind
    // for later tests to trip over.
    (void)session.Command("UNSELECT", untagged, error);
    for (const std::string& name : names) {
        untagged.clear();
        (void)session.Command("DELETE " + ImapSession::Quote(name), untagged, error);
    }
}

std::string TestMessage(const std::string& subject, const std::string& body, const std::string& date)
{
    return "From: Test Sender <sender@example.test>\r\n"
           "To: alice@example.test\r\n"
           "Subject: " + subject + "\r\n"
           "Date: " + date + "\r\n"
           "Message-ID: <" + subject.substr(0, 20) + "." + RunPrefix() + "@example.test>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n"
           "\r\n" + body;
}

namespace {

class SmtpDialogue {
public:
    std::string Open()
    {
        std::string error;
        const std::string host = "localhost";
        if (!conn.Connect(host, FixturePort("POSTERN_SMTPS_PORT"), 30000, error) || !conn.Handshake(host, error))
            return "smtp connect: " + error;
        return Expect("", 220);
    }

    // Sends a line (unless empty) and reads a reply, all lines of it.
    std::string Expect(const std::string& line, int code)
    {
        std::string error;
        if (!line.empty() && !conn.Send(line + "\r\n", error))
            return "smtp send: " + error;
        for (int lines = 0; lines < 100; ++lines) {
            std::string reply;
            if (!ReadLine(reply, error))
                return "smtp read: " + error;
            if (reply.size() < 4 || std::atoi(reply.substr(0, 3).c_str()) != code)
                return "smtp: after \"" + line.substr(0, 30) + "\" got " + reply;
            if (reply[3] == ' ')
                return {};
        }
        return "smtp: endless reply";
    }

    TlsConnection conn;

private:
    bool ReadLine(std::string& line, std::string& error)
    {
        for (int reads = 0; reads < 1000; ++reads) {
            const size_t lf = pending.find('\n');
            if (lf != std::string::npos) {
                line = pending.substr(0, lf);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                pending.erase(0, lf + 1);
                return true;
            }
            char buffer[4096];
            const int got = conn.Receive(buffer, sizeof buffer, error);
            if (got <= 0) {
                if (error.empty())
                    error = "closed";
                return false;
            }
            pending.append(buffer, static_cast<size_t>(got));
        }
        error = "no line";
        return false;
    }

    std::string pending;
};

} // namespace

std::string SubmitSmtp(int from, const std::string& to, const std::string& message)
{
    const ServerLogin login = FixtureLogin(from);
    const std::string address = FixtureValue(("POSTERN_EMAIL" + std::to_string(from)).c_str());
    SmtpDialogue smtp;
    std::string e = smtp.Open();
    if (e.empty())
        e = smtp.Expect("EHLO client.example.test", 250);
    if (e.empty())
        e = smtp.Expect("AUTH PLAIN " + Base64Encode(std::string(1, '\0') + login.user + '\0' + login.password), 235);
    if (e.empty())
        e = smtp.Expect("MAIL FROM:<" + address + ">", 250);
    if (e.empty())
        e = smtp.Expect("RCPT TO:<" + to + ">", 250);
    if (e.empty())
        e = smtp.Expect("DATA", 354);
    if (e.empty())
        e = smtp.Expect(message + ".", 250); // test messages end with CR LF and have no line starting with "."
    if (e.empty())
        (void)smtp.Expect("QUIT", 221);
    smtp.conn.Close();
    return e;
}

} // namespace postern::test
