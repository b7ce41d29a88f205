// ServerLogin: where and as whom to sign in, shared by IMAP and SMTP. The
// caller fills it from the account; a non-empty access token selects OAuth
// (XOAUTH2) and the password is then ignored.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

struct ServerLogin {
    std::string host;        // UTF-8 host name
    uint32_t port = 0;       // IMAP: normally 993 (implicit TLS)
    std::string user;        // login name
    std::string password;    // plain password, already decrypted by the caller
    std::string accessToken; // OAuth 2.0 access token; empty for password accounts
};

} // namespace postern
