// Helpers for the tests against the fixture's real Dovecot and Postfix:
// sign-in data from the environment, per-test folders that cannot collide
// with another run, messages put in over IMAP, and a minimal SMTP
// submission (to wake IDLE through the real delivery path). Everything goes
// through the product's own TlsConnection, so the helpers work the same
// natively and under Wine.
#pragma once

#include "mail/ImapSession.h"
#include "mail/ServerLogin.h"

#include <string>

namespace postern::test {

// Fixture user 1 (alice) or 2 (bob).
[[nodiscard]] ServerLogin FixtureLogin(int user);

// A prefix unique to this process, so runs side by side (natively and
// under Wine) never share folders: "t1a2b3c4".
[[nodiscard]] const std::string& RunPrefix();

// Opens a session as the user; "" or the error.
[[nodiscard]] std::string OpenFixture(ImapSession& session, int user);

// Creates RunPrefix() + "/" + name (and its parents); returns the full name.
[[nodiscard]] std::string MakeFolder(ImapSession& session, const std::string& name, std::string& error);

// Deletes every folder under RunPrefix() of the session's user.
void DropRunFolders(ImapSession& session);

// A small RFC 5322 message with the given subject and body.
[[nodiscard]] std::string TestMessage(const std::string& subject, const std::string& body = "Hello.\r\n",
                                      const std::string& date = "Mon, 05 Feb 2024 10:00:00 +0000");

// Submits message from user `from` to `to` over SMTPS; "" or the error.
[[nodiscard]] std::string SubmitSmtp(int from, const std::string& to, const std::string& message);

} // namespace postern::test
