// The worker's side of the accounts: keeping each account's one session
// signed in (with a fresh access token for Google accounts) and knowing which
// mailbox it has selected.
#include "app/MailWorker.h"

#include "app/AccountLogin.h"
#include "app/UiPort.h"
#include "mail/ImapMailbox.h"
#include "platform/Charset.h"
#include "platform/Clock.h"

namespace postern {

namespace {

// Sessions can be neither copied nor moved, so the lists grow one new
// element at a time.
template <typename List>
void GrowTo(List& list, size_t count)
{
    while (list.size() < count)
        list.emplace_back();
}

} // namespace

MailWorker::MailWorker(WorkerLanes& lanes, SignInOptions signIn, WorkerGenerations generations, UiPort* ui)
    : lanes_(lanes), signIn_(std::move(signIn)), generations_(generations), ui_(ui)
{
}

void MailWorker::AddAccounts(std::vector<AccountConfig> accounts)
{
    for (AccountConfig& account : accounts)
        accounts_.push_back(std::move(account));
    const size_t count = accounts_.size();
    GrowTo(sessions_, count);
    GrowTo(selectedMailbox_, count);
    GrowTo(sentFolder_, count);
    GrowTo(trashFolder_, count);
    GrowTo(folderLists_, count);
    GrowTo(traffic_, count);
}

SessionTraffic MailWorker::Traffic(size_t account) const
{
    if (account >= sessions_.size())
        return {};
    SessionTraffic traffic = traffic_[account];
    traffic.commands = static_cast<uint32_t>(sessions_[account].TagCounter());
    traffic.roundTrips = sessions_[account].RoundTrips();
    return traffic;
}

uint32_t MailWorker::CurrentLoadGeneration() const
{
    return generations_.load ? generations_.load->load() : 0;
}

void MailWorker::Post(std::unique_ptr<ResultRecord> record)
{
    if (ui_)
        ui_->Post(std::move(record));
}

void MailWorker::PostStatus(std::u16string text)
{
    auto record = std::make_unique<StatusTextRecord>();
    record->text = std::move(text);
    Post(std::move(record));
}

void MailWorker::PostError(std::u16string text)
{
    auto record = std::make_unique<ErrorTextRecord>();
    record->text = std::move(text);
    Post(std::move(record));
}

void MailWorker::PostUnreadCount(size_t account, const std::string& mailbox, uint32_t count)
{
    auto result = std::make_unique<UnreadCount>();
    result->account = static_cast<int>(account);
    result->mailbox = mailbox;
    result->count = count;
    Post(std::move(result));
}

void MailWorker::SignOutAll()
{
    for (ImapSession& session : sessions_)
        if (session.IsConnected())
            session.Logout();
}

bool MailWorker::RefreshGoogleToken(AccountConfig& account, size_t index, std::string& error)
{
    const std::string& clientId = account.clientId;
    const std::string clientSecret = clientId.empty() ? std::string() : account.clientSecret;
    if (account.refreshToken.empty()) {
        PostStatus(u"Waiting for Google sign-in in your browser\u2026");
        OAuthTokens tokens;
        if (!SignInInteractive(signIn_, clientId, clientSecret, tokens, error))
            return false;
        account.refreshToken = tokens.refreshToken;
        account.accessToken = tokens.accessToken;
        account.accessTokenExpiry = tokens.expiresAt;
        auto record = std::make_unique<RefreshTokenRecord>();
        record->account = static_cast<int>(index);
        record->token = tokens.refreshToken;
        Post(std::move(record));
    }
    if (!account.accessToken.empty() && NowUnixSeconds() < account.accessTokenExpiry)
        return true;
    return RefreshAccessToken(signIn_.endpoints, clientId, clientSecret, account.refreshToken, account.accessToken,
                              account.accessTokenExpiry, error);
}

bool MailWorker::EnsureConnected(size_t account, std::string& error)
{
    if (account >= accounts_.size() || account >= sessions_.size()) {
        error = "The account no longer exists.";
        return false;
    }
    AccountConfig& record = accounts_[account];
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

bool MailWorker::SelectCounting(size_t account, const std::string& mailbox, uint32_t& count, std::string& error)
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

bool MailWorker::SelectMailbox(size_t account, const std::string& mailbox, std::string& error)
{
    if (!EnsureConnected(account, error))
        return false;
    if (selectedMailbox_[account] == mailbox)
        return true;
    uint32_t count = 0;
    return SelectCounting(account, mailbox, count, error);
}

void MailWorker::WAccountEdited(size_t account, AccountConfig record)
{
    if (account >= accounts_.size())
        return;
    sessions_[account].Logout();
    accounts_[account] = std::move(record);
    selectedMailbox_[account].clear();
    // The folder list names them again, perhaps differently.
    sentFolder_[account].clear();
    trashFolder_[account].clear();
    WFolderList(account);
}

} // namespace postern
