// Table-driven replay cases: a script, what the client does on it, and the
// outcome written as text. Every case runs with its server steps whole and
// cut at every byte offset; the outcome must not change.
#pragma once

#include "support/ScriptedStream.h"

#include "mail/ImapResponse.h"
#include "mail/ImapSession.h"

#include <functional>
#include <string>
#include <vector>

namespace postern::test {

struct ReplayCase {
    const char* name;
    std::vector<ScriptStep> script;
    std::function<std::string(ImapSession&)> run;
    std::string expected;
    // IDLE polls see how many bytes one Receive brought, so a split can
    // legitimately move a wake-up to the next poll.
    bool splittable = true;
};

// The usual opening: greeting, LOGIN "u" "p" as C0001, OK with capabilities.
[[nodiscard]] std::vector<ScriptStep> SignedIn(const std::string& capabilities = "IMAP4rev1 IDLE MOVE UIDPLUS");
[[nodiscard]] std::vector<ScriptStep> Join(std::vector<ScriptStep> a, const std::vector<ScriptStep>& b);

// Opens with user "u" and password "p"; "" on success, else the error.
[[nodiscard]] std::string OpenReplay(ImapSession& session);

// "ok" or "fail: <error>", and " connected=0" when the session dropped.
[[nodiscard]] std::string Outcome(bool ok, const std::string& error, const ImapSession& session);

// Responses as "line[literal,literal]|line..." with CR and LF made visible.
[[nodiscard]] std::string Dump(const std::vector<ImapResponse>& responses);

// Runs the case whole and split at every offset, with gtest expectations.
void RunReplayCase(const ReplayCase& c);

} // namespace postern::test
