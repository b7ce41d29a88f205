// The worker's side of the accounts: keeping each account's one session
// signed in (with a fresh access token for Google accounts) and knowing
// which mailbox it has selected, so that consecutive jobs in one mailbox
// cost one SELECT.
#include "app/PosternApp.h"

#include "app/AccountLogin.h"

#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "platform/Clock.h"

namespace postern {

bool PosternApp::RefreshGoogleToken(AccountConfig& account, size_t index, std::string& error)
{
    const std::string& clientId = account.clientId;
    const std::string clientSecret = clientId.empty() ? std::string() : account.clientSecret;
    if (account.refreshToken.empty()) {
        PostStatus(u"Waiting for Google sign-in in your browser\u2026");
        OAuthTokens tokens;
        if (!SignInInteractive(options_.signIn, clientId, clientSecret, tokens, error))
            return false;
        account.refreshToken = tokens.refreshToken;
        account.accessToken = tokens.accessToken;
        account.accessTokenExpiry = tokens.expiresAt;
        auto record = std::make_unique<RefreshTokenRecord>();
        record->account = static_cast<int>(index);
        record->token = tokens.refreshToken;
        if (ui_)
            ui_->Post(std::move(record));
    }
    if (!account.accessToken.empty() && NowUnixSeconds() < account.accessTokenExpiry)
        return true;
    return RefreshAccessToken(options_.signIn.endpoints, clientId, clientSecret, account.refreshToken,
                              account.accessToken, account.accessTokenExpiry, error);
}

bool PosternApp::EnsureConnected(size_t account, std::string& error)
{
    if (account >= workerAccounts_.size() || account >= sessions_.size()) {
        error = "The account no longer exists.";
        return false;
    }
    AccountConfig& record = workerAccounts_[account];
    const bool google = record.auth == AuthKind::gmail;
    if (google && !RefreshGoogleToken(record, account, error))
        return false;

    ImapSession& session = sessions_[account];
    if (session.IsConnected())
        return true;
    PostStatus(u"Connecting to " + Utf8ToUtf16(record.imapHost) + u"\u2026");
    selectedMailbox_[account].clear();
    ++traffic_[account].connects;
    return session.Open(ImapLogin(record), error);
}

bool PosternApp::SelectCounting(size_t account, const std::string& mailbox, uint32_t& count, std::string& error)
{
    if (!EnsureConnected(account, error))
        return false;
    ImapSession& session = sessions_[account];
    if (!Select(session, mailbox, count, error)) {
        // A session can go stale between jobs without noticing; one fresh
        // connection gets a second chance before the failure is reported.
        session.Logout();
        if (!EnsureConnected(account, error) || !Select(session, mailbox, count, error))
            return false;
    }
    selectedMailbox_[account] = mailbox;
    return true;
}

bool PosternApp::SelectMailbox(size_t account, const std::string& mailbox, std::string& error)
{
    if (!EnsureConnected(account, error))
        return false;
    if (selectedMailbox_[account] == mailbox)
        return true;
    uint32_t count = 0;
    return SelectCounting(account, mailbox, count, error);
}

SessionTraffic PosternApp::Traffic(size_t account) const
{
    if (account >= sessions_.size())
        return {};
    SessionTraffic traffic = traffic_[account];
    traffic.commands = static_cast<uint32_t>(sessions_[account].TagCounter());
    traffic.roundTrips = sessions_[account].RoundTrips();
    return traffic;
}

} // namespace postern
