// The host-name rule both TLS backends apply to a server's certificate.
#include "platform/CertificateNames.h"

#include <gtest/gtest.h>

#include <string>

namespace postern {
namespace {

const std::string kLoopback4("\x7f\x00\x00\x01", 4);
const std::string kLoopback6 = std::string(15, '\0') + '\x01';

TEST(CertificateNames, MatchOnlyWhatTheSubjectAltNameNames)
{
    const CertificateNames names{{"mail.example.com", "*.example.org", "127.0.0.2", "*.com",
                                  "f*.example.net", std::string("bad\0.example.com", 16)},
                                 {kLoopback4, kLoopback6}};
    struct Case {
        std::string host;
        bool named;
    };
    const Case cases[] = {
        {"mail.example.com", true},
        {"MAIL.Example.COM", true},
        {"mail.example.com.", true},     // fully qualified
        {"example.com", false},
        {"imap.example.org", true},      // wildcard: one whole label
        {"example.org", false},
        {"a.b.example.org", false},
        {".example.org", false},
        {"anything.com", false},         // "*.com" names nobody
        {"foo.example.net", false},      // partial wildcards are not honoured
        {"bad", false},
        {"127.0.0.1", true},             // addresses match IP entries only
        {"127.0.0.2", false},            // ...never a DNS entry that looks like one
        {"::1", true},
        {"[::1]", true},
        {"0:0:0:0:0:0:0:1", true},
        {"::2", false},
        {"", false},
        {"*.example.org", false},
        {std::string("mail.example.com\0.evil", 22), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CertificateNamesHost(names, c.host), c.named) << c.host;
    // Without subjectAltName entries nothing is named, whatever the common name.
    EXPECT_FALSE(CertificateNamesHost(CertificateNames{}, "localhost"));
    EXPECT_FALSE(CertificateNamesHost(CertificateNames{}, "127.0.0.1"));
}

TEST(CertificateNames, ParseIpLiteralTakesOnlyWholeAddresses)
{
    struct Case {
        const char* text;
        std::string bytes; // empty: not an address
    };
    const Case cases[] = {
        {"192.0.2.1", std::string("\xc0\x00\x02\x01", 4)},
        {"255.255.255.255", std::string(4, '\xff')},
        {"::", std::string(16, '\0')},
        {"::1", kLoopback6},
        {"2001:db8::ff00:42:8329",
         std::string("\x20\x01\x0d\xb8\x00\x00\x00\x00\x00\x00\xff\x00\x00\x42\x83\x29", 16)},
        {"::ffff:192.0.2.1", std::string(10, '\0') + std::string("\xff\xff\xc0\x00\x02\x01", 6)},
        {"1:2:3:4:5:6:7::", std::string("\0\1\0\2\0\3\0\4\0\5\0\6\0\7\0\0", 16)},
        {"256.0.0.1", ""},
        {"01.2.3.4", ""},
        {"1.2.3", ""},
        {"1.2.3.4.", ""},
        {"1.2.3.4 ", ""},
        {"1::2::3", ""},
        {":::", ""},
        {"1:2:3:4:5:6:7:8:9", ""},
        {"1:2:3:4:5:6:7", ""},
        {"12345::", ""},
        {"fe80::1%eth0", ""},
        {"::1.2.3.4:5", ""},
        {"localhost", ""},
    };
    for (const Case& c : cases) {
        std::string bytes;
        EXPECT_EQ(ParseIpLiteral(c.text, bytes), !c.bytes.empty()) << c.text;
        if (!c.bytes.empty()) {
            EXPECT_EQ(bytes, c.bytes) << c.text;
        }
    }
}

} // namespace
} // namespace postern
