// The sign-in an account record gives for its IMAP and its SMTP server; a
// Google account signs in with its current access token instead of a
// password.
#pragma once

#include "account/Settings.h"
#include "mail/ServerLogin.h"

namespace postern {

[[nodiscard]] inline ServerLogin AccountLogin(const AccountConfig& account, const std::string& host, int32_t port)
{
    ServerLogin login;
    login.host = host;
    login.port = port > 0 ? static_cast<uint32_t>(port) : 0;
    login.user = account.user;
    if (account.auth == AuthKind::gmail)
        login.accessToken = account.accessToken;
    else
        login.password = account.password;
    return login;
}

[[nodiscard]] inline ServerLogin ImapLogin(const AccountConfig& account)
{
    return AccountLogin(account, account.imapHost, account.imapPort);
}

[[nodiscard]] inline ServerLogin SmtpLogin(const AccountConfig& account)
{
    return AccountLogin(account, account.smtpHost, account.smtpPort);
}

} // namespace postern
