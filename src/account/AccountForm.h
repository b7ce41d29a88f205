// The rules of the account dialog, apart from its window: reading and
// checking the fields, which OAuth client a sign-in uses, what a detection
// fills in, the duplicate check and the commit. The window gathers the
// fields, calls these, and shows the result.
#pragma once

#include "account/Autodetect.h"
#include "account/GoogleSignIn.h"
#include "account/Settings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace postern {

// Where Google accounts read and send mail.
struct GoogleMailServers {
    std::string imapHost = "imap.gmail.com";
    int32_t imapPort = 993;
    std::string smtpHost = "smtp.gmail.com";
    int32_t smtpPort = 465;
};

inline constexpr std::string_view kGoogleConsoleUrl = "https://console.cloud.google.com/apis/credentials";

// The dialog's fields as typed, in UTF-8.
struct AccountFormFields {
    std::string label;
    std::string email;
    std::string displayName;
    std::string user;
    std::string imapHost;
    std::string imapPort = "993";
    std::string smtpHost;
    std::string smtpPort = "465";
    bool googleSignIn = false; // the "Sign in with Google" radio button
    std::string password;
    std::string clientId; // empty where the client fields are not shown
    std::string clientSecret;
};

// The fields of an account being edited.
[[nodiscard]] AccountFormFields FieldsOf(const AccountConfig& account);

// A port typed as decimal digits, 1 to 65535; nothing for anything else.
[[nodiscard]] std::optional<int32_t> ParsePortNumber(std::string_view text);

struct OAuthClientChoice {
    std::string id;
    std::string secret;
    bool remember = false; // typed into the dialog: kept in the settings after a sign-in
};

// What Save does with the fields.
struct SavePlan {
    enum class Step { refuse, commit, signIn };
    Step step = Step::refuse;
    std::string status;    // why it refused
    AccountConfig account; // to commit, or to commit once signed in
    OAuthClientChoice client;
};

// `index`: the account being edited, or outside the list when adding.
// `builtIn`: the build's own client, usually empty.
[[nodiscard]] SavePlan PlanSave(const AccountFormFields& fields, const AppSettings& settings, int32_t index,
                                const OAuthClientChoice& builtIn);

// The client that the "Sign in with Google" button uses, or the status text
// that says why there is none.
struct SignInPlan {
    std::optional<OAuthClientChoice> client;
    std::string status;
};
[[nodiscard]] SignInPlan PlanSignInButton(const AccountFormFields& fields, const AppSettings& settings,
                                          const OAuthClientChoice& builtIn);

// The account a sign-in from the button makes, or the status text that
// refuses it (no address reported, the account is there already).
struct NewGoogleAccount {
    std::optional<AccountConfig> account;
    std::string status;
};
[[nodiscard]] NewGoogleAccount GoogleAccountFrom(const OAuthTokens& tokens, const OAuthClientChoice& client,
                                                 const AppSettings& settings, const GoogleMailServers& google = {});

// Adds the account (index outside the list) or replaces the one at index;
// a client typed into the dialog becomes the remembered one.
void CommitAccount(AppSettings& settings, int32_t index, AccountConfig account, const OAuthClientChoice& client);

// A detection's result applied to the fields. `onlyEmpty`: the detection
// started by itself when the address field lost the focus, and the user may
// have typed meanwhile; then a server (host and port) is filled only where
// its host is still empty. Ports keep their text otherwise too.
struct DetectionFill {
    AccountFormFields fields;
    std::string status;
    // Where the focus goes: the password, or for Google the client id.
    enum class Focus { password, clientId } focus = Focus::password;
};
[[nodiscard]] DetectionFill ApplyDetection(const AccountFormFields& fields, const ServerSettings& found,
                                           bool onlyEmpty);

// The address Detect looks up, or the status text when there is none.
struct DetectionStart {
    std::string address;
    std::string status; // "Looking up …" when address is set
};
[[nodiscard]] DetectionStart PlanDetection(std::string_view emailField);

// What the dialog's Gmail preset puts into the fields.
[[nodiscard]] AccountFormFields WithGmailPreset(AccountFormFields fields, const GoogleMailServers& google = {});

} // namespace postern
