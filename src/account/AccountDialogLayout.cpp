#include "account/AccountDialogLayout.h"

#include <utility>

namespace postern {

namespace {

using Kind = DialogControl::Kind;
namespace id = account_control;

constexpr int kLeft = 18;
constexpr int kFieldLeft = 150;
constexpr int kRowStep = 34;
constexpr int kFullWidth = 584;

constexpr std::u16string_view kSetupText =
    u"One-time Google setup: \u201cOpen Google Console\u201d \u2192 Create credentials \u2192 OAuth client ID \u2192 "
    u"\u201cDesktop app\u201d, publish the consent screen, paste the Client ID and Secret above, then press "
    u"\u201cSign in with Google\u201d. Postern remembers the client after the first sign-in \u2014 these fields "
    u"never appear again.";
constexpr std::u16string_view kGmailText =
    u"Adding Gmail: just press \u201cSign in with Google\u201d below \u2014 your browser opens Google's sign-in "
    u"page and Postern fills in everything (address, servers) automatically. Postern stores only an encrypted "
    u"token; it never sees your Google password.";

class Builder {
public:
    // A field's name and its edit box. The name reaches the box: at 126
    // pixels "OAuth Client Secret" does not fit in one line of Segoe UI.
    void Field(std::u16string_view caption, int fieldId, Kind kind, int width)
    {
        controls_.push_back({id::none, Kind::caption, caption, kLeft, y_ + 4, kFieldLeft - kLeft, 20});
        controls_.push_back({fieldId, kind, {}, kFieldLeft, y_, width, 24});
    }
    // A control beside the current row's field.
    void Beside(const DialogControl& control) { controls_.push_back(control); }
    void Add(const DialogControl& control) { controls_.push_back(control); }
    void Next(int step = kRowStep) { y_ += step; }
    [[nodiscard]] int Y() const { return y_; }
    std::vector<DialogControl> Take() { return std::move(controls_); }

private:
    std::vector<DialogControl> controls_;
    int y_ = 16;
};

} // namespace

std::vector<DialogControl> AccountDialogControls(bool adding, bool clientFields)
{
    Builder b;
    b.Field(u"Account label", id::label, Kind::edit, 250);
    b.Next();
    b.Field(u"Email address", id::email, Kind::edit, 176);
    b.Beside({id::detect, Kind::button, u"Detect", 334, b.Y() - 1, 66, 26});
    b.Next();
    b.Field(u"Display name", id::displayName, Kind::edit, 250);
    b.Next();
    b.Field(u"Username", id::user, Kind::edit, 250);
    b.Next();
    b.Field(u"IMAP host", id::imapHost, Kind::edit, 170);
    b.Next();
    b.Field(u"IMAP port", id::imapPort, Kind::number, 70);
    b.Next();
    b.Field(u"SMTP host", id::smtpHost, Kind::edit, 170);
    b.Next();
    b.Field(u"SMTP port", id::smtpPort, Kind::number, 70);
    b.Next();
    b.Add({id::passwordRadio, Kind::radio, u"Password", kFieldLeft, b.Y(), 100, 22, true});
    b.Add({id::googleRadio, Kind::radio, u"Sign in with Google", 258, b.Y(), 160, 22});
    b.Next();
    b.Field(u"Password", id::password, Kind::secret, 250);
    b.Next();
    if (clientFields) {
        b.Field(u"OAuth Client ID", id::clientId, Kind::edit, 250);
        b.Beside({id::googleConsole, Kind::button, u"Open Google Console", 408, b.Y(), 165, 26});
        b.Next();
        b.Field(u"OAuth Client Secret", id::clientSecret, Kind::secret, 250);
        b.Next();
    }
    b.Add({id::info, Kind::text, clientFields ? kSetupText : kGmailText, kLeft, b.Y() + 2, kFullWidth, 84});
    b.Next(92);

    const int buttons = b.Y() + 8;
    if (adding) {
        b.Add({id::googleSignIn, Kind::button, u"Sign in with Google", kLeft, buttons, 160, 32, false, true});
        b.Add({id::gmailPreset, Kind::button, u"Gmail preset", 184, buttons, 105, 32});
    } else {
        b.Add({id::gmailPreset, Kind::button, u"Gmail preset", kLeft, buttons, 105, 32});
    }
    b.Add({id::cancel, Kind::button, u"Cancel", 404, buttons, 90, 32});
    b.Add({id::save, Kind::button, u"Save", 502, buttons, 100, 32, false, true});
    b.Next(52);
    b.Add({id::status, Kind::status, {}, kLeft, b.Y(), kFullWidth, 40});
    return b.Take();
}

std::u16string_view AccountDialogTitle(bool adding)
{
    return adding ? u"Postern \u2014 Add account" : u"Postern \u2014 Edit account";
}

} // namespace postern
