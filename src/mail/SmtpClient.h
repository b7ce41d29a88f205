// SMTP submission of one finished message: connect (implicit TLS on port
// 465, STARTTLS on every other port), sign in with AUTH PLAIN or XOAUTH2,
// send the envelope and the dot-stuffed data, quit. One SmtpClient per
// submission; nothing survives the call.
#pragma once

#include "platform/ByteStream.h"
#include "mail/AddressList.h"
#include "mail/ServerLogin.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The DATA payload of a message: line ends made CR LF, every line that
// begins with "." doubled, a final CR LF, and the terminating ".\r\n".
[[nodiscard]] std::string DotStuff(std::string_view message);

class SmtpClient {
public:
    // Implicit TLS is used on port 465 and STARTTLS on every other port,
    // unless this says otherwise (a server with TLS from the first byte on
    // another port, as test servers and some providers run).
    void SetImplicitTls(bool implicit) { implicitTlsChoice = implicit ? 1 : 0; }

    [[nodiscard]] bool Submit(const ServerLogin& login, const std::string& sender,
                              const std::vector<std::string>& recipients, std::string_view message,
                              std::string& error);

    // Switches the stream to TLS after the server's go-ahead for STARTTLS.
    using StartTls = std::function<bool(std::string& error)>;

    // The dialogue after the connection is open: over TLS already when
    // implicitTls is set, otherwise plain until startTls upgrades it. Submit
    // runs it over a TlsConnection; tests hand it a scripted stream.
    [[nodiscard]] bool RunDialogue(ByteStream& stream, bool implicitTls, const StartTls& startTls,
                                   const ServerLogin& login, const std::string& sender,
                                   const std::vector<std::string>& recipients,
                                   std::string_view message, std::string& error);

    [[nodiscard]] int LastCode() const { return lastCode; }
    [[nodiscard]] const std::string& LastText() const { return lastText; }

private:
    // Sends text + CR LF (nothing when text is empty: read only) and reads
    // the reply; false unless its code is of the expected class (2 or 3).
    [[nodiscard]] bool SmtpCommand(std::string_view text, int expectedClass, std::string& error);
    [[nodiscard]] bool SendAndExpect(std::string_view bytes, int expectedClass, std::string& error);
    [[nodiscard]] bool Expect(int expectedClass, std::string& error);
    [[nodiscard]] bool ReadReply(std::string& error);
    [[nodiscard]] bool Authenticate(const ServerLogin& login, std::string& error);

    int implicitTlsChoice = -1; // -1: by port
    ByteStream* stream = nullptr;
    std::string rx;  // received bytes not yet consumed as reply lines
    int lastCode = 0;
    std::string lastText; // every line of the last reply, each followed by LF
    bool replyMismatch = false; // the last failure was a reply of the wrong class
};

} // namespace postern
