#include "account/AccountForm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace postern {
namespace {

AccountFormFields Filled()
{
    AccountFormFields fields;
    fields.label = "Work";
    fields.email = "alice@example.test";
    fields.imapHost = "imap.example.test";
    fields.smtpHost = "smtp.example.test";
    fields.password = "secret";
    return fields;
}

AccountConfig GoogleAccount(const std::string& email, const std::string& client, const std::string& token)
{
    AccountConfig account;
    account.email = email;
    account.auth = AuthKind::gmail;
    account.clientId = client;
    account.clientSecret = client + "-secret";
    account.refreshToken = token;
    return account;
}

constexpr int32_t kAdd = -1;
const OAuthClientChoice kNoBuiltIn{};

TEST(AccountForm, PortNumbers)
{
    const struct {
        const char* text;
        std::optional<int32_t> port;
    } cases[] = {
        {"993", 993},
        {"1", 1},
        {"65535", 65535},
        {"00587", 587},
        {"0", std::nullopt},
        {"65536", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"12a", std::nullopt},
        {"-1", std::nullopt},
        {" 25", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParsePortNumber(c.text), c.port) << c.text;
}

TEST(AccountForm, SaveReadsChecksAndRefusesWithTheStatusText)
{
    const char* const required = "Email, IMAP host and SMTP host are required.";
    const char* const imapPort = "The IMAP port must be a number from 1 to 65535.";
    const struct {
        const char* what;
        std::function<void(AccountFormFields&)> change;
        const char* status; // empty: commits
    } cases[] = {
        {"as filled", [](AccountFormFields&) {}, ""},
        {"no address", [](AccountFormFields& f) { f.email = " "; }, required},
        {"address without at sign", [](AccountFormFields& f) { f.email = "alice"; }, required},
        {"no IMAP host", [](AccountFormFields& f) { f.imapHost = "\t"; }, required},
        {"no SMTP host", [](AccountFormFields& f) { f.smtpHost.clear(); }, required},
        {"IMAP port 0", [](AccountFormFields& f) { f.imapPort = "0"; }, imapPort},
        {"IMAP port abc", [](AccountFormFields& f) { f.imapPort = "abc"; }, imapPort},
        {"IMAP port overflowing", [](AccountFormFields& f) { f.imapPort = "4294967297"; }, imapPort},
        {"SMTP port 65536", [](AccountFormFields& f) { f.smtpPort = "65536"; },
         "The SMTP port must be a number from 1 to 65535."},
        {"no password", [](AccountFormFields& f) { f.password.clear(); }, "Enter the account password."},
        {"Google without any client", [](AccountFormFields& f) { f.googleSignIn = true; },
         "Google sign-in isn't configured in this build (see src\\google_client) \u2014 enter an OAuth client "
         "below."},
    };
    for (const auto& c : cases) {
        AccountFormFields fields = Filled();
        c.change(fields);
        const SavePlan plan = PlanSave(fields, AppSettings{}, kAdd, kNoBuiltIn);
        EXPECT_EQ(plan.status, c.status) << c.what;
        EXPECT_EQ(plan.step, *c.status ? SavePlan::Step::refuse : SavePlan::Step::commit) << c.what;
    }

    // Label and user fall back to the address; empty ports are the usual
    // ones; the address and hosts are trimmed, the label and password not.
    AccountFormFields fields = Filled();
    fields.label.clear();
    fields.email = "  alice@example.test\t";
    fields.imapHost = " imap.example.test ";
    fields.imapPort.clear();
    fields.smtpPort = " ";
    fields.password = " pass word ";
    fields.displayName = " Alice ";
    const AccountConfig saved = PlanSave(fields, AppSettings{}, kAdd, kNoBuiltIn).account;
    EXPECT_EQ(saved.name, "alice@example.test");
    EXPECT_EQ(saved.user, "alice@example.test");
    EXPECT_EQ(saved.imapHost, "imap.example.test");
    EXPECT_EQ(saved.imapPort, 993);
    EXPECT_EQ(saved.smtpPort, 465);
    EXPECT_EQ(saved.password, " pass word ");
    EXPECT_EQ(saved.displayName, " Alice ");
    EXPECT_EQ(saved.auth, AuthKind::password);
}

TEST(AccountForm, SavingAGoogleAccountFindsItsClientAndSignsInOnlyWhenNeeded)
{
    AppSettings settings;
    settings.accounts.push_back(GoogleAccount("bob@gmail.test", "own", "token-1"));
    const int32_t edit = 0;
    const OAuthClientChoice builtIn{"built-in", "built-in-secret", false};
    AccountFormFields google = Filled();
    google.googleSignIn = true;

    // Editing without client fields (a client is remembered): the account's
    // own client keeps its token, no sign-in.
    settings.googleClientId = "remembered";
    SavePlan plan = PlanSave(google, settings, edit, builtIn);
    EXPECT_EQ(plan.step, SavePlan::Step::commit);
    EXPECT_EQ(plan.account.clientId, "own");
    EXPECT_EQ(plan.account.clientSecret, "own-secret");
    EXPECT_EQ(plan.account.refreshToken, "token-1");
    EXPECT_TRUE(plan.account.password.empty());

    // A different client typed in: a new sign-in with it.
    google.clientId = " typed ";
    google.clientSecret = "typed-secret";
    plan = PlanSave(google, settings, edit, builtIn);
    EXPECT_EQ(plan.step, SavePlan::Step::signIn);
    EXPECT_EQ(plan.client.id, "typed");
    EXPECT_FALSE(plan.client.remember); // one is remembered already
    EXPECT_TRUE(plan.account.refreshToken.empty());

    // Adding: the remembered client, else the build's; a typed one is
    // remembered when none is.
    google.clientId.clear();
    EXPECT_EQ(PlanSave(google, settings, kAdd, builtIn).client.id, "remembered");
    settings.googleClientId.clear();
    EXPECT_EQ(PlanSave(google, settings, kAdd, builtIn).client.id, "built-in");
    google.clientId = "typed";
    plan = PlanSave(google, settings, kAdd, builtIn);
    EXPECT_EQ(plan.step, SavePlan::Step::signIn);
    EXPECT_TRUE(plan.client.remember);
}

TEST(AccountForm, TheSignInButtonPrefersTheBuildsClientThenTheRememberedOneThenTheTypedOne)
{
    AppSettings settings;
    AccountFormFields fields;
    EXPECT_EQ(PlanSignInButton(fields, settings, kNoBuiltIn).status,
              "First do the one-time setup above \u2014 paste the OAuth Client ID and Secret, then press this again.");
    fields.clientId = " typed\n";
    fields.clientSecret = " s ";
    SignInPlan plan = PlanSignInButton(fields, settings, kNoBuiltIn);
    ASSERT_TRUE(plan.client);
    EXPECT_EQ(plan.client->id, "typed");
    EXPECT_EQ(plan.client->secret, "s");
    EXPECT_TRUE(plan.client->remember);
    settings.googleClientId = "remembered";
    EXPECT_EQ(PlanSignInButton(fields, settings, kNoBuiltIn).client->id, "remembered");
    EXPECT_FALSE(PlanSignInButton(fields, settings, kNoBuiltIn).client->remember);
    EXPECT_EQ(PlanSignInButton(fields, settings, {"built-in", "", false}).client->id, "built-in");
}

TEST(AccountForm, AGoogleSignInAddsTheAccountOnceAndRemembersATypedClient)
{
    AppSettings settings;
    AccountConfig password;
    password.email = "carol@gmail.test";
    settings.accounts.push_back(password);
    settings.accounts.push_back(GoogleAccount("Bob@Gmail.Test", "c", "t"));
    const OAuthClientChoice typed{"typed", "typed-secret", true};

    OAuthTokens tokens;
    tokens.refreshToken = "refresh";
    tokens.accessToken = "access";
    tokens.expiresAt = 1234;
    EXPECT_EQ(GoogleAccountFrom(tokens, typed, settings).status,
              "Google didn't report an email address \u2014 try again.");
    tokens.email = "bob@gmail.test";
    EXPECT_EQ(GoogleAccountFrom(tokens, typed, settings).status, "That Google account is already added.");

    tokens.email = "carol@gmail.test"; // there as a password account: allowed
    const NewGoogleAccount made = GoogleAccountFrom(tokens, typed, settings);
    ASSERT_TRUE(made.account);
    EXPECT_EQ(made.account->name, "carol@gmail.test");
    EXPECT_EQ(made.account->user, "carol@gmail.test");
    EXPECT_EQ(made.account->imapHost, "imap.gmail.com");
    EXPECT_EQ(made.account->smtpPort, 465);
    EXPECT_EQ(made.account->refreshToken, "refresh");
    EXPECT_EQ(made.account->accessToken, "access");
    EXPECT_EQ(made.account->accessTokenExpiry, 1234);
    EXPECT_EQ(made.account->clientSecret, "typed-secret");

    CommitAccount(settings, kAdd, *made.account, typed);
    ASSERT_EQ(settings.accounts.size(), 3u);
    EXPECT_EQ(settings.googleClientId, "typed");
    EXPECT_EQ(settings.googleClientSecret, "typed-secret");

    AccountConfig renamed = settings.accounts[0];
    renamed.name = "Renamed";
    CommitAccount(settings, 0, renamed, {"other", "", false});
    EXPECT_EQ(settings.accounts.size(), 3u);
    EXPECT_EQ(settings.accounts[0].name, "Renamed");
    EXPECT_EQ(settings.googleClientId, "typed");
}

TEST(AccountForm, DetectionFillsTheFormAndNeverOverwritesWhatWasTypedMeanwhile)
{
    ServerSettings found;
    found.imapHost = "imap.found.test";
    found.imapPort = 143;
    found.smtpHost = "smtp.found.test";
    found.smtpPort = 587;
    found.source = "autoconfig";
    found.note = "STARTTLS on 587.";

    AccountFormFields fields;
    fields.email = " alice@found.test ";
    DetectionFill fill = ApplyDetection(fields, found, true);
    EXPECT_EQ(fill.fields.imapHost, "imap.found.test");
    EXPECT_EQ(fill.fields.imapPort, "143");
    EXPECT_EQ(fill.fields.smtpPort, "587");
    EXPECT_EQ(fill.fields.user, "alice@found.test");
    EXPECT_EQ(fill.fields.label, "found.test");
    EXPECT_EQ(fill.status, "Found via autoconfig. STARTTLS on 587.");
    EXPECT_EQ(fill.focus, DetectionFill::Focus::password);

    // Typed while the automatic detection ran: kept. The Detect button
    // replaces the servers but still keeps label and user.
    fields.label = "Mine";
    fields.user = "alice";
    fields.imapHost = "typed.imap";
    fields.imapPort = "1993";
    fill = ApplyDetection(fields, found, true);
    EXPECT_EQ(fill.fields.imapHost, "typed.imap");
    EXPECT_EQ(fill.fields.imapPort, "1993");
    EXPECT_EQ(fill.fields.smtpHost, "smtp.found.test");
    EXPECT_EQ(fill.fields.label, "Mine");
    EXPECT_EQ(fill.fields.user, "alice");
    fill = ApplyDetection(fields, found, false);
    EXPECT_EQ(fill.fields.imapHost, "imap.found.test");
    EXPECT_EQ(fill.fields.label, "Mine");

    found.useGoogleSignIn = true;
    found.note.clear();
    fill = ApplyDetection(AccountFormFields{}, found, true);
    EXPECT_TRUE(fill.fields.googleSignIn);
    EXPECT_EQ(fill.focus, DetectionFill::Focus::clientId);
    EXPECT_EQ(fill.status, "Found via autoconfig.");

    EXPECT_EQ(PlanDetection(" alice ").status, "Enter a full email address to detect settings.");
    EXPECT_TRUE(PlanDetection("alice").address.empty());
    const DetectionStart start = PlanDetection(" alice@found.test\t");
    EXPECT_EQ(start.address, "alice@found.test");
    EXPECT_EQ(start.status, "Looking up mail servers for found.test\u2026");
}

TEST(AccountForm, EditingShowsTheAccountAndTheGmailPresetSetsGooglesServers)
{
    AccountConfig account = GoogleAccount("bob@gmail.test", "own", "t");
    account.imapPort = 1993;
    const AccountFormFields fields = FieldsOf(account);
    EXPECT_EQ(fields.imapPort, "1993");
    EXPECT_TRUE(fields.googleSignIn);
    EXPECT_EQ(fields.clientId, "own");

    const AccountFormFields preset = WithGmailPreset(Filled());
    EXPECT_EQ(preset.imapHost, "imap.gmail.com");
    EXPECT_EQ(preset.smtpHost, "smtp.gmail.com");
    const AccountFormFields local = WithGmailPreset(Filled(), {"localhost", 1993, "localhost", 1465});
    EXPECT_EQ(local.imapPort, "1993");
    EXPECT_EQ(local.smtpHost, "localhost");
    EXPECT_EQ(preset.imapPort, "993");
    EXPECT_TRUE(preset.googleSignIn);
    EXPECT_EQ(preset.email, "alice@example.test");
}

} // namespace
} // namespace postern
