#include "account/AccountForm.h"

#include "platform/AsciiText.h"

#include <utility>

namespace postern {

namespace {

std::string Trimmed(std::string_view text)
{
    return std::string(TrimAsciiSpace(text));
}

std::string Decimal(int32_t value)
{
    return std::to_string(value);
}

// An empty port field means the usual port; anything else must be a port.
bool ReadPort(std::string_view text, int32_t usual, int32_t& port)
{
    const std::string_view trimmed = TrimAsciiSpace(text);
    if (trimmed.empty()) {
        port = usual;
        return true;
    }
    const std::optional<int32_t> value = ParsePortNumber(trimmed);
    if (value)
        port = *value;
    return value.has_value();
}

bool ValidClient(const OAuthClientChoice& client)
{
    return !client.id.empty();
}

} // namespace

AccountFormFields FieldsOf(const AccountConfig& account)
{
    AccountFormFields fields;
    fields.label = account.name;
    fields.email = account.email;
    fields.displayName = account.displayName;
    fields.user = account.user;
    fields.imapHost = account.imapHost;
    fields.imapPort = Decimal(account.imapPort);
    fields.smtpHost = account.smtpHost;
    fields.smtpPort = Decimal(account.smtpPort);
    fields.googleSignIn = account.auth == AuthKind::gmail;
    fields.password = account.password;
    fields.clientId = account.clientId;
    fields.clientSecret = account.clientSecret;
    return fields;
}

std::optional<int32_t> ParsePortNumber(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt; // also keeps long digit strings from overflowing
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return value;
}

SavePlan PlanSave(const AccountFormFields& fields, const AppSettings& settings, int32_t index,
                  const OAuthClientChoice& builtIn)
{
    SavePlan plan;
    AccountConfig& account = plan.account;
    account.name = fields.label;
    account.displayName = fields.displayName;
    account.email = Trimmed(fields.email);
    account.user = Trimmed(fields.user);
    account.imapHost = Trimmed(fields.imapHost);
    account.smtpHost = Trimmed(fields.smtpHost);
    account.password = fields.password;
    account.auth = fields.googleSignIn ? AuthKind::gmail : AuthKind::password;
    if (account.user.empty())
        account.user = account.email;
    if (account.name.empty())
        account.name = account.email;

    if (account.email.find('@') == std::string::npos || account.imapHost.empty() || account.smtpHost.empty()) {
        plan.status = "Email, IMAP host and SMTP host are required.";
        return plan;
    }
    if (!ReadPort(fields.imapPort, 993, account.imapPort)) {
        plan.status = "The IMAP port must be a number from 1 to 65535.";
        return plan;
    }
    if (!ReadPort(fields.smtpPort, 465, account.smtpPort)) {
        plan.status = "The SMTP port must be a number from 1 to 65535.";
        return plan;
    }
    if (account.auth == AuthKind::password) {
        if (account.password.empty()) {
            plan.status = "Enter the account password.";
            return plan;
        }
        account.clientId = Trimmed(fields.clientId);
        account.clientSecret = Trimmed(fields.clientSecret);
        plan.step = SavePlan::Step::commit;
        return plan;
    }

    // The client: the one typed here, else the edited account's own, else the
    // remembered one, else the build's. Once a client is remembered the
    // dialog no longer shows the client fields, and an edited Google account
    // keeps working with the client that signed it in.
    const bool editing = index >= 0 && static_cast<size_t>(index) < settings.accounts.size();
    const AccountConfig* previous = editing ? &settings.accounts[static_cast<size_t>(index)] : nullptr;
    OAuthClientChoice client{Trimmed(fields.clientId), Trimmed(fields.clientSecret), true};
    if (!ValidClient(client) && previous && previous->auth == AuthKind::gmail && !previous->clientId.empty())
        client = {previous->clientId, previous->clientSecret, false};
    if (!ValidClient(client) && !settings.googleClientId.empty())
        client = {settings.googleClientId, settings.googleClientSecret, false};
    if (!ValidClient(client))
        client = {builtIn.id, builtIn.secret, false};
    if (!ValidClient(client)) {
        plan.status = "Google sign-in isn't configured in this build (see src\\google_client) \u2014 enter an "
                      "OAuth client below.";
        return plan;
    }
    // A typed client is remembered only while none is.
    client.remember = client.remember && settings.googleClientId.empty();
    account.clientId = client.id;
    account.clientSecret = client.secret;
    account.password.clear(); // a Google account signs in with tokens
    plan.client = client;
    if (previous && previous->auth == AuthKind::gmail && previous->clientId == client.id &&
        !previous->refreshToken.empty()) {
        account.refreshToken = previous->refreshToken;
        plan.step = SavePlan::Step::commit;
        return plan;
    }
    plan.step = SavePlan::Step::signIn;
    return plan;
}

SignInPlan PlanSignInButton(const AccountFormFields& fields, const AppSettings& settings,
                            const OAuthClientChoice& builtIn)
{
    SignInPlan plan;
    if (ValidClient(builtIn)) {
        plan.client = OAuthClientChoice{builtIn.id, builtIn.secret, false};
    } else if (!settings.googleClientId.empty()) {
        plan.client = OAuthClientChoice{settings.googleClientId, settings.googleClientSecret, false};
    } else if (const std::string id = Trimmed(fields.clientId); !id.empty()) {
        plan.client = OAuthClientChoice{id, Trimmed(fields.clientSecret), true};
    } else {
        plan.status = "First do the one-time setup above \u2014 paste the OAuth Client ID and Secret, then press this "
                      "again.";
    }
    return plan;
}

NewGoogleAccount GoogleAccountFrom(const OAuthTokens& tokens, const OAuthClientChoice& client,
                                   const AppSettings& settings, const GoogleMailServers& google)
{
    NewGoogleAccount result;
    if (tokens.email.empty()) {
        result.status = "Google didn't report an email address \u2014 try again.";
        return result;
    }
    for (const AccountConfig& existing : settings.accounts) {
        if (existing.auth == AuthKind::gmail && EqualsIgnoringAsciiCase(existing.email, tokens.email)) {
            result.status = "That Google account is already added.";
            return result;
        }
    }
    AccountConfig account;
    account.name = tokens.email;
    account.user = tokens.email;
    account.email = tokens.email;
    account.imapHost = google.imapHost;
    account.imapPort = google.imapPort;
    account.smtpHost = google.smtpHost;
    account.smtpPort = google.smtpPort;
    account.auth = AuthKind::gmail;
    account.refreshToken = tokens.refreshToken;
    // Working state, never stored: the first connection needs no refresh.
    account.accessToken = tokens.accessToken;
    account.accessTokenExpiry = tokens.expiresAt;
    account.clientId = client.id;
    account.clientSecret = client.secret;
    result.account = std::move(account);
    return result;
}

void CommitAccount(AppSettings& settings, int32_t index, AccountConfig account, const OAuthClientChoice& client)
{
    if (index >= 0 && static_cast<size_t>(index) < settings.accounts.size())
        settings.accounts[static_cast<size_t>(index)] = std::move(account);
    else
        settings.accounts.push_back(std::move(account));
    if (client.remember && ValidClient(client)) {
        settings.googleClientId = client.id;
        settings.googleClientSecret = client.secret;
    }
}

DetectionFill ApplyDetection(const AccountFormFields& fields, const ServerSettings& found, bool onlyEmpty)
{
    DetectionFill fill{fields, {}, DetectionFill::Focus::password};
    AccountFormFields& out = fill.fields;
    const bool imap = !onlyEmpty || TrimAsciiSpace(fields.imapHost).empty();
    const bool smtp = !onlyEmpty || TrimAsciiSpace(fields.smtpHost).empty();
    if (imap) {
        out.imapHost = found.imapHost;
        out.imapPort = Decimal(found.imapPort);
        out.googleSignIn = found.useGoogleSignIn;
    }
    if (smtp) {
        out.smtpHost = found.smtpHost;
        out.smtpPort = Decimal(found.smtpPort);
    }
    const std::string email = Trimmed(fields.email);
    if (TrimAsciiSpace(fields.user).empty())
        out.user = email;
    if (TrimAsciiSpace(fields.label).empty()) {
        const size_t at = email.find('@');
        out.label = at == std::string::npos ? email : email.substr(at + 1);
    }
    fill.status = "Found via " + found.source + ".";
    if (!found.note.empty())
        fill.status += " " + found.note;
    if (out.googleSignIn)
        fill.focus = DetectionFill::Focus::clientId;
    return fill;
}

DetectionStart PlanDetection(std::string_view emailField)
{
    DetectionStart start;
    const std::string_view email = TrimAsciiSpace(emailField);
    const size_t at = email.find('@');
    if (at == std::string_view::npos) {
        start.status = "Enter a full email address to detect settings.";
        return start;
    }
    start.address = std::string(email);
    start.status = "Looking up mail servers for " + std::string(email.substr(at + 1)) + "\u2026";
    return start;
}

AccountFormFields WithGmailPreset(AccountFormFields fields, const GoogleMailServers& google)
{
    fields.imapHost = google.imapHost;
    fields.imapPort = Decimal(google.imapPort);
    fields.smtpHost = google.smtpHost;
    fields.smtpPort = Decimal(google.smtpPort);
    fields.googleSignIn = true;
    return fields;
}

} // namespace postern
