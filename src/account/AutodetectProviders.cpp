// The built-in table of well-known providers: the cheapest and most certain
// source, consulted before anything touches the network.
#include "account/Autodetect.h"
#include "platform/AsciiText.h"

#include <cstdint>

namespace postern {

namespace {

struct KnownProvider {
    const char* domains; // comma-separated, no spaces
    const char* imapHost;
    int32_t imapPort;
    const char* smtpHost;
    int32_t smtpPort;
    uint8_t googleSignIn;
    const char* note;
};

constexpr KnownProvider kKnownProviders[] = {
    {"gmail.com,googlemail.com", "imap.gmail.com", 993, "smtp.gmail.com", 465, 1,
     "Gmail uses OAuth - paste your OAuth client and hit Save."},
    {"outlook.com,hotmail.com,live.com,msn.com,hotmail.co.uk,outlook.de", "outlook.office365.com", 993,
     "smtp-mail.outlook.com", 587, 0,
     "Microsoft personal accounts require OAuth, which Postern only speaks for Gmail; this will likely not "
     "accept a password."},
    {"yahoo.com,ymail.com,rocketmail.com,yahoo.co.uk", "imap.mail.yahoo.com", 993, "smtp.mail.yahoo.com", 465, 0,
     "Yahoo needs an app password (account security settings)."},
    {"icloud.com,me.com,mac.com", "imap.mail.me.com", 993, "smtp.mail.me.com", 587, 0,
     "iCloud needs an app-specific password (appleid.apple.com)."},
    {"aol.com", "imap.aol.com", 993, "smtp.aol.com", 465, 0, "AOL needs an app password."},
    {"fastmail.com,fastmail.fm", "imap.fastmail.com", 993, "smtp.fastmail.com", 465, 0,
     "Fastmail needs an app password."},
    {"gmx.com,gmx.net,gmx.de", "imap.gmx.net", 993, "mail.gmx.net", 465, 0, ""},
    {"web.de", "imap.web.de", 993, "smtp.web.de", 587, 0, ""},
    {"zoho.com", "imap.zoho.com", 993, "smtp.zoho.com", 465, 0, ""},
    {"proton.me,protonmail.com,pm.me", "127.0.0.1", 1143, "127.0.0.1", 1025, 0,
     "Proton requires the Proton Mail Bridge app; these are its local ports."},
};

bool ListHolds(std::string_view list, std::string_view domain)
{
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(',', start);
        if (end == std::string_view::npos)
            end = list.size();
        if (EqualsIgnoringAsciiCase(list.substr(start, end - start), domain))
            return true;
        start = end + 1;
    }
    return false;
}

} // namespace

bool MatchKnownProvider(std::string_view domain, ServerSettings& settings)
{
    if (domain.empty())
        return false;
    for (const KnownProvider& row : kKnownProviders) {
        if (!ListHolds(row.domains, domain))
            continue;
        settings.imapHost = row.imapHost;
        settings.imapPort = row.imapPort;
        settings.smtpHost = row.smtpHost;
        settings.smtpPort = row.smtpPort;
        settings.useGoogleSignIn = row.googleSignIn != 0;
        settings.note = row.note;
        return true;
    }
    return false;
}

} // namespace postern
