// Where Google sign-in talks to, in one place. The defaults are the real
// service; tests hand in a struct pointing at a loopback server instead.
#pragma once

#include <cstdint>
#include <string>

namespace postern {

struct OAuthEndpoints {
    std::string authorizationHost = "accounts.google.com";
    uint16_t authorizationPort = 443;
    std::string authorizationPath = "/o/oauth2/v2/auth";
    std::string tokenHost = "oauth2.googleapis.com";
    uint16_t tokenPort = 443;
    std::string tokenPath = "/token";
    // Full IMAP/SMTP access, plus the ID token that names the account.
    std::string scope = "https://mail.google.com/ openid email";
    // Written without scheme: it appears inside an error text.
    std::string permissionsPage = "myaccount.google.com/permissions";
};

} // namespace postern
