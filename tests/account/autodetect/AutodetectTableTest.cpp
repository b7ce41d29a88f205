// The parts of autodetection that touch no network: the provider table and
// the autoconfig reader, and the address checks that come before any source.
#include "account/Autodetect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace postern {
namespace {

struct ProviderCase {
    const char* domain;
    const char* imapHost;
    int32_t imapPort;
    const char* smtpHost;
    int32_t smtpPort;
    bool google;
    const char* notePrefix;
};

TEST(MatchKnownProvider, RowsMatchEveryListedDomainIgnoringCase)
{
    const ProviderCase cases[] = {
        {"gmail.com", "imap.gmail.com", 993, "smtp.gmail.com", 465, true, "Gmail uses OAuth"},
        {"GoogleMail.COM", "imap.gmail.com", 993, "smtp.gmail.com", 465, true, "Gmail uses OAuth"},
        {"hotmail.co.uk", "outlook.office365.com", 993, "smtp-mail.outlook.com", 587, false, "Microsoft personal"},
        {"msn.com", "outlook.office365.com", 993, "smtp-mail.outlook.com", 587, false, "Microsoft personal"},
        {"ymail.com", "imap.mail.yahoo.com", 993, "smtp.mail.yahoo.com", 465, false, "Yahoo needs"},
        {"mac.com", "imap.mail.me.com", 993, "smtp.mail.me.com", 587, false, "iCloud needs an app-specific password ("},
        {"aol.com", "imap.aol.com", 993, "smtp.aol.com", 465, false, "AOL needs an app password."},
        {"fastmail.fm", "imap.fastmail.com", 993, "smtp.fastmail.com", 465, false, "Fastmail needs"},
        {"gmx.de", "imap.gmx.net", 993, "mail.gmx.net", 465, false, ""},
        {"web.de", "imap.web.de", 993, "smtp.web.de", 587, false, ""},
        {"zoho.com", "imap.zoho.com", 993, "smtp.zoho.com", 465, false, ""},
        {"pm.me", "127.0.0.1", 1143, "127.0.0.1", 1025, false, "Proton requires the Proton Mail Bridge app"},
    };
    for (const ProviderCase& c : cases) {
        SCOPED_TRACE(c.domain);
        ServerSettings settings;
        ASSERT_TRUE(MatchKnownProvider(c.domain, settings));
        EXPECT_EQ(settings.imapHost, c.imapHost);
        EXPECT_EQ(settings.imapPort, c.imapPort);
        EXPECT_EQ(settings.smtpHost, c.smtpHost);
        EXPECT_EQ(settings.smtpPort, c.smtpPort);
        EXPECT_EQ(settings.useGoogleSignIn, c.google);
        EXPECT_THAT(settings.note, testing::StartsWith(c.notePrefix));
        if (c.notePrefix[0] == '\0') {
            EXPECT_TRUE(settings.note.empty());
        }
    }
}

TEST(MatchKnownProvider, OnlyWholeListEntriesMatch)
{
    // Neighbours of listed domains: a substring of the list, a subdomain, a
    // domain sharing a suffix, and the list separator itself.
    for (const char* domain : {"mail.com", "gmail.co", "mail.gmail.com", "xgmail.com", "gmail.com,", ",", "",
                               "com", "outlook.com.evil.test"}) {
        SCOPED_TRACE(domain);
        ServerSettings settings;
        EXPECT_FALSE(MatchKnownProvider(domain, settings));
        EXPECT_TRUE(settings.imapHost.empty());
    }
}

struct AutoconfigCase {
    const char* name;
    std::string xml;
    bool ok;
    const char* smtpHost;
    int32_t smtpPort;
};

std::string Document(const std::string& imapInner, const std::string& smtpInner)
{
    return "<clientConfig><emailProvider id=\"x\"><incomingServer type=\"imap\">" + imapInner
        + "</incomingServer><outgoingServer type=\"smtp\">" + smtpInner + "</outgoingServer></emailProvider>"
        + "</clientConfig>";
}

TEST(ParseAutoconfig, PortsFollowTheSocketTypeRules)
{
    const std::string imap = "<hostname>imap.example.test</hostname><port>143</port><socketType>STARTTLS</socketType>";
    const AutoconfigCase cases[] = {
        {"starttls 587 kept", Document(imap, "<hostname>smtp.example.test</hostname><port>587</port>"
                                             "<socketType>STARTTLS</socketType>"), true, "smtp.example.test", 587},
        {"port 25 becomes 587", Document(imap, "<hostname>smtp.example.test</hostname><port>25</port>"
                                               "<socketType>STARTTLS</socketType>"), true, "smtp.example.test", 587},
        {"ssl 587 becomes 465", Document(imap, "<hostname>smtp.example.test</hostname><port>587</port>"
                                               "<socketType>ssl</socketType>"), true, "smtp.example.test", 465},
        {"odd port kept", Document(imap, "<hostname>smtp.example.test</hostname><port>2525</port>"),
         true, "smtp.example.test", 2525},
        {"no port becomes 587", Document(imap, "<hostname>smtp.example.test</hostname>"), true,
         "smtp.example.test", 587},
        {"non-number port becomes 587", Document(imap, "<hostname>smtp.example.test</hostname><port>x5</port>"),
         true, "smtp.example.test", 587},
        {"port beyond range becomes 587", Document(imap, "<hostname>smtp.example.test</hostname><port>99999</port>"),
         true, "smtp.example.test", 587},
        {"host trimmed", Document(imap, "<hostname>\n\t smtp.example.test \r\n</hostname><port>465</port>"),
         true, "smtp.example.test", 465},
        {"empty smtp host", Document(imap, "<hostname>  </hostname><port>465</port>"), false, "", 0},
        {"empty imap host", Document("<hostname></hostname>", "<hostname>smtp.example.test</hostname>"), false, "", 0},
        {"no smtp block", "<incomingServer type=\"imap\"><hostname>a</hostname></incomingServer>", false, "", 0},
        {"empty imap block", Document("", "<hostname>smtp.example.test</hostname>"), false, "", 0},
        {"unterminated imap block", "<incomingServer type=\"imap\"><hostname>a</hostname>"
                                    "<outgoingServer type=\"smtp\"><hostname>b</hostname></outgoingServer>",
         false, "", 0},
        {"pop3 only", "<incomingServer type=\"pop3\"><hostname>a</hostname></incomingServer>"
                      "<outgoingServer type=\"smtp\"><hostname>b</hostname></outgoingServer>", false, "", 0},
        {"unterminated element", Document("<hostname>imap.example.test", "<hostname>smtp.example.test</hostname>"),
         false, "", 0},
        {"empty text", "", false, "", 0},
    };
    for (const AutoconfigCase& c : cases) {
        SCOPED_TRACE(c.name);
        ServerSettings settings;
        settings.note = "kept";
        ASSERT_EQ(ParseAutoconfig(c.xml, settings), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(settings.imapHost, "imap.example.test");
        EXPECT_EQ(settings.imapPort, 993); // 143 STARTTLS in the document: only 993 is spoken
        EXPECT_EQ(settings.smtpHost, c.smtpHost);
        EXPECT_EQ(settings.smtpPort, c.smtpPort);
        EXPECT_EQ(settings.note, "kept");
    }
}

TEST(DetectServerSettings, AddressProblemsAreReportedBeforeAnyNetwork)
{
    AutodetectSeams seams;
    seams.beforeNetwork = [](const std::string& step) {
        ADD_FAILURE() << "network step attempted: " << step;
        return false;
    };
    struct Case {
        std::string address;
        std::string error;
    };
    const Case cases[] = {
        {"", "enter a full email address first"},
        {"alice", "enter a full email address first"},
        {"alice@", "enter a full email address first"},
        {"alice@ \t\r\n", "enter a full email address first"},
        {"alice@exa mple.test", "not a valid mail domain: exa mple.test"},
        {"alice@example.test/x?y#", "not a valid mail domain: example.test/x?y#"},
        {"alice@example.test\r\nHost: evil", "not a valid mail domain: example.test\r\nhost: evil"},
        {"a@b@example.test", "not a valid mail domain: b@example.test"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        ServerSettings settings;
        std::string error;
        EXPECT_FALSE(DetectServerSettings(seams, c.address, settings, error));
        EXPECT_EQ(error, c.error);
    }
}

TEST(DetectServerSettings, KnownProviderNeedsNoNetwork)
{
    AutodetectSeams seams;
    seams.beforeNetwork = [](const std::string& step) {
        ADD_FAILURE() << "network step attempted: " << step;
        return false;
    };
    ServerSettings settings;
    std::string error;
    ASSERT_TRUE(DetectServerSettings(seams, "Someone.Else@GMAIL.COM  ", settings, error)) << error;
    EXPECT_EQ(settings.imapHost, "imap.gmail.com");
    EXPECT_TRUE(settings.useGoogleSignIn);
    EXPECT_EQ(settings.source, "known provider");
    EXPECT_EQ(settings.note, "Gmail uses OAuth - paste your OAuth client and hit Save.");
}

} // namespace
} // namespace postern
