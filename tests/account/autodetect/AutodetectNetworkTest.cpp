// Autodetection against real servers on loopback: the fixture's Dovecot and
// Postfix for the probes, tests/platform/dns_peer.py for SRV and MX
// ($POSTERN_DNS_PORT), and tests/account/autodetect/autoconfig_peer.py standing in
// for the ISPDB and autoconfig hosts ($POSTERN_AUTOCONFIG_PORT). Every step
// detection wants to take passes a gate that records it and lets through
// only loopback servers, so no test reaches beyond this machine.
#include "account/Autodetect.h"
#include "support/AutodetectFixture.h"
#include "support/FixtureEnv.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace postern {
namespace {

// Nothing listens here (the fixture's ports end below it).
constexpr uint32_t kClosedPort = 17819;

#define POSTERN_REQUIRE_AUTOCONFIG_PEER()                                                        \
    do {                                                                                         \
        POSTERN_REQUIRE_FIXTURE();                                                               \
        POSTERN_REQUIRE_PORT("POSTERN_AUTOCONFIG_PORT", "tests/account/autodetect/autoconfig_peer.py"); \
    } while (0)

DnsServer TestDns()
{
    return DnsServer{"127.0.0.1", static_cast<uint16_t>(test::FixturePort("POSTERN_DNS_PORT"))};
}

struct Gate {
    std::vector<std::string> steps;

    // The steps of one kind ("imap ", "smtp ", "https ", "dns "), in order.
    std::vector<std::string> Of(const std::string& kind) const
    {
        std::vector<std::string> out;
        for (const std::string& step : steps) {
            if (step.rfind(kind, 0) == 0)
                out.push_back(step);
        }
        return out;
    }
};

AutodetectSeams TestSeams(const std::shared_ptr<Gate>& gate)
{
    AutodetectSeams seams = test::FixtureAutodetectSeams();
    seams.beforeNetwork = [gate](const std::string& step) {
        gate->steps.push_back(step);
        return test::LoopbackStep(step);
    };
    return seams;
}

TEST(LookupSrv, LowestPriorityUsableRecordWins)
{
    POSTERN_REQUIRE_DNS_PEER();
    std::string host;
    uint32_t port = 0;
    ASSERT_TRUE(LookupSrv("_imaps._tcp.example.test", TestDns(), host, port));
    EXPECT_EQ(host, "imap.example.test"); // priority 0, listed after priority 10
    EXPECT_EQ(port, 993u);
    // Only a "." target: the service is explicitly not offered.
    EXPECT_FALSE(LookupSrv("_submissions._tcp.example.test", TestDns(), host, port));
    EXPECT_FALSE(LookupSrv("_imaps._tcp.nowhere.test", TestDns(), host, port));
}

TEST(LookupMx, HostsByPreferenceThenName)
{
    POSTERN_REQUIRE_DNS_PEER();
    EXPECT_EQ(LookupMx("example.test", TestDns()),
              (std::vector<std::string>{"mx0.example.test", "mx1.example.test", "mx2.example.test"}));
    EXPECT_TRUE(LookupMx("nowhere.test", TestDns()).empty());
    EXPECT_TRUE(LookupMx("imap.example.test", TestDns()).empty()); // a name without MX records
}

TEST(Probe, GreetingDecidesWhetherAServerAnswers)
{
    POSTERN_REQUIRE_FIXTURE();
    // A server waiting for the other side to speak first is given up after
    // this; it keeps the table quick without deciding anything.
    constexpr uint32_t kQuickMs = 1500;
    const uint32_t imap = test::FixturePort("POSTERN_IMAP_PORT");
    const uint32_t smtps = test::FixturePort("POSTERN_SMTPS_PORT");
    const uint32_t submission = test::FixturePort("POSTERN_SUBMISSION_PORT");
    const uint32_t badCa = test::FixturePort("POSTERN_BADCA_PORT");
    const uint32_t wrongName = test::FixturePort("POSTERN_WRONGNAME_PORT");

    EXPECT_TRUE(ProbeImap("localhost", imap, kQuickMs));
    EXPECT_FALSE(ProbeImap("localhost", smtps, kQuickMs));     // TLS fine, but "220", not "* OK"
    EXPECT_FALSE(ProbeImap("localhost", submission, kQuickMs)); // no TLS on connect
    EXPECT_FALSE(ProbeImap("localhost", badCa, kQuickMs));      // greets "* OK", but untrusted
    EXPECT_FALSE(ProbeImap("localhost", wrongName, kQuickMs));
    EXPECT_FALSE(ProbeImap("localhost", kClosedPort, kQuickMs));
    EXPECT_FALSE(ProbeImap("nothing.invalid", imap, kQuickMs));

    EXPECT_TRUE(ProbeSmtp("localhost", smtps, true, kQuickMs));
    EXPECT_TRUE(ProbeSmtp("localhost", submission, false, kQuickMs));
    EXPECT_FALSE(ProbeSmtp("localhost", submission, true, kQuickMs)); // plain text where TLS was expected
    EXPECT_FALSE(ProbeSmtp("localhost", smtps, false, kQuickMs));     // TLS where plain text was expected
    EXPECT_FALSE(ProbeSmtp("localhost", imap, true, kQuickMs));       // "* OK" is not "220"
    EXPECT_FALSE(ProbeSmtp("localhost", kClosedPort, false, kQuickMs));
}

TEST(Probe, SilentServerIsGivenUpWithinTheTimeout)
{
    POSTERN_REQUIRE_FIXTURE();
    // The peer completes the handshake and then says nothing for 10 s; the
    // probe's own 5 s limit must end it (ctest's time-out catches a hang).
    EXPECT_FALSE(ProbeImap("localhost", test::FixturePort("POSTERN_PEER_SILENT_PORT")));
}

struct DocumentCase {
    const char* address;
    const char* source;
    const char* smtpHost;
    int32_t smtpPort;
};

TEST(DetectServerSettings, DocumentsAreUsedWhenTheirImapHostAnswers)
{
    POSTERN_REQUIRE_AUTOCONFIG_PEER();
    const DocumentCase cases[] = {
        {"bob@ispdb.test", "ISPDB", "localhost", 587},
        // "+" must reach the server as "+", not as a space.
        {"carol+tag@AutoConf.test", "domain autoconfig", "localhost", 465},
    };
    for (const DocumentCase& c : cases) {
        SCOPED_TRACE(c.address);
        auto gate = std::make_shared<Gate>();
        ServerSettings settings;
        std::string error;
        ASSERT_TRUE(DetectServerSettings(TestSeams(gate), c.address, settings, error)) << error;
        EXPECT_EQ(settings.source, c.source);
        EXPECT_EQ(settings.imapHost, "localhost");
        EXPECT_EQ(settings.imapPort, 993);
        EXPECT_EQ(settings.smtpHost, c.smtpHost);
        EXPECT_EQ(settings.smtpPort, c.smtpPort);
        EXPECT_FALSE(settings.useGoogleSignIn);
        EXPECT_TRUE(settings.note.empty());
        EXPECT_TRUE(gate->Of("smtp ").empty()); // documents need no SMTP probe
    }
}

TEST(DetectServerSettings, UnusableDocumentsFallThroughToTheMxGuess)
{
    POSTERN_REQUIRE_AUTOCONFIG_PEER();
    // A redirect and a 404 (both with valid documents as bodies), a body
    // that is no document, and a document whose IMAP host does not answer.
    for (const char* domain : {"moved.test", "missing.test", "garbage.test", "deadhost.test"}) {
        SCOPED_TRACE(domain);
        auto gate = std::make_shared<Gate>();
        ServerSettings settings;
        settings.imapHost = "untouched";
        std::string error;
        EXPECT_FALSE(DetectServerSettings(TestSeams(gate), std::string("x@") + domain, settings, error));
        EXPECT_EQ(error, std::string("no IMAP server found for ") + domain
                             + " (checked providers, SRV, ISPDB, autoconfig, MX)");
        EXPECT_EQ(settings.imapHost, "untouched");
        const std::vector<std::string> https = gate->Of("https ");
        ASSERT_EQ(https.size(), 2u);
        EXPECT_NE(https[1].find("/mail/config-v1.1.xml?emailaddress=x%40"), std::string::npos) << https[1];
        const std::vector<std::string> imap = gate->Of("imap ");
        ASSERT_FALSE(imap.empty());
        EXPECT_EQ(imap.back(), "imap " + std::string(domain) + ":" + std::to_string(TestSeams(gate).imapProbePort));
    }
}

TEST(DetectServerSettings, MxGuessProbesCandidatesInOrderOnce)
{
    POSTERN_REQUIRE_AUTOCONFIG_PEER();
    auto gate = std::make_shared<Gate>();
    const AutodetectSeams seams = TestSeams(gate);
    ServerSettings settings;
    std::string error;
    ASSERT_TRUE(DetectServerSettings(seams, "dave@localhost", settings, error)) << error;
    EXPECT_EQ(settings.source, "MX lookup + live probe");
    EXPECT_EQ(settings.imapHost, "localhost");
    EXPECT_EQ(settings.imapPort, 993);
    EXPECT_EQ(settings.smtpHost, "localhost");
    EXPECT_EQ(settings.smtpPort, 465);
    EXPECT_TRUE(settings.note.empty());
    const std::string port = ":" + std::to_string(seams.imapProbePort);
    EXPECT_EQ(gate->Of("imap "), (std::vector<std::string>{"imap imap.localhost" + port,
                                                           "imap mail.localhost" + port, "imap localhost" + port}));
}

TEST(DetectServerSettings, UnconfirmedSmtpGivesTheGuessNote)
{
    POSTERN_REQUIRE_AUTOCONFIG_PEER();
    auto gate = std::make_shared<Gate>();
    AutodetectSeams seams = TestSeams(gate);
    seams.smtpsProbePort = kClosedPort;
    seams.submissionProbePort = kClosedPort; // both standard ports silent
    ServerSettings settings;
    std::string error;
    ASSERT_TRUE(DetectServerSettings(seams, "erin@LOCALHOST", settings, error)) << error;
    EXPECT_EQ(settings.source, "MX lookup + live probe");
    EXPECT_EQ(settings.smtpHost, "localhost");
    EXPECT_EQ(settings.smtpPort, 465);
    EXPECT_EQ(settings.note, "IMAP verified; SMTP host is a guess - check it.");
    // The IMAP host first; the domain at the end is the same host and is
    // not tried twice.
    const std::string p = ":" + std::to_string(kClosedPort);
    EXPECT_EQ(gate->Of("smtp "),
              (std::vector<std::string>{"smtp localhost" + p, "smtp localhost" + p, "smtp smtp.localhost" + p,
                                        "smtp smtp.localhost" + p, "smtp mail.localhost" + p,
                                        "smtp mail.localhost" + p}));
}

struct SrvCase {
    const char* address;
    int32_t smtpPort;
    std::vector<std::string> dnsSteps;
};

// Under Wine this runs with the resolver pointed at dns_peer.py on port 53
// while the fixture's servers stay reachable (scripts/test).
TEST(DetectFromSrv, RecordsNameTheServersTheImapProbeConfirms)
{
    POSTERN_REQUIRE_FIXTURE();
    POSTERN_REQUIRE_DNS_PEER();
    const SrvCase cases[] = {
        {"grace@hosted.test", 587,
         {"dns SRV _imaps._tcp.hosted.test", "dns SRV _submissions._tcp.hosted.test",
          "dns SRV _submission._tcp.hosted.test"}},
        // No submission record: SMTP is assumed on the IMAP host.
        {"heidi@IMAP-Only.test", 465,
         {"dns SRV _imaps._tcp.imap-only.test", "dns SRV _submissions._tcp.imap-only.test",
          "dns SRV _submission._tcp.imap-only.test"}},
    };
    for (const SrvCase& c : cases) {
        SCOPED_TRACE(c.address);
        auto gate = std::make_shared<Gate>();
        const AutodetectSeams seams = TestSeams(gate);
        ServerSettings settings;
        std::string error;
        const bool found = DetectServerSettings(seams, c.address, settings, error);
        std::string steps;
        for (const std::string& step : gate->steps)
            steps += "\n  " + step;
        ASSERT_TRUE(found) << error << steps;
        EXPECT_EQ(settings.source, "DNS SRV records");
        EXPECT_EQ(settings.imapHost, "localhost");
        EXPECT_EQ(settings.imapPort, 993);
        EXPECT_EQ(settings.smtpHost, "localhost");
        EXPECT_EQ(settings.smtpPort, c.smtpPort);
        EXPECT_FALSE(settings.useGoogleSignIn);
        EXPECT_TRUE(settings.note.empty());
        EXPECT_EQ(gate->Of("dns "), c.dnsSteps);
        EXPECT_EQ(gate->Of("imap "),
                  (std::vector<std::string>{"imap localhost:" + std::to_string(seams.imapProbePort)}));
        EXPECT_TRUE(gate->Of("https ").empty()); // found before any document is fetched
    }
}

TEST(DetectServerSettings, EverySourceIsTriedInOrderBeforeGivingUp)
{
    POSTERN_REQUIRE_AUTOCONFIG_PEER();
    POSTERN_REQUIRE_DNS_PEER();
    auto gate = std::make_shared<Gate>();
    const AutodetectSeams seams = TestSeams(gate);
    ServerSettings settings;
    std::string error;
    EXPECT_FALSE(DetectServerSettings(seams, "frank@example.test", settings, error));
    EXPECT_EQ(error, "no IMAP server found for example.test (checked providers, SRV, ISPDB, autoconfig, MX)");
    const std::string p = ":" + std::to_string(seams.imapProbePort);
    EXPECT_EQ(gate->Of("dns "),
              (std::vector<std::string>{"dns SRV _imaps._tcp.example.test", "dns SRV _submissions._tcp.example.test",
                                        "dns SRV _submission._tcp.example.test", "dns MX example.test"}));
    EXPECT_EQ(gate->Of("imap "),
              (std::vector<std::string>{"imap imap.example.test" + p, // from SRV
                                        "imap imap.example.test" + p, "imap mail.example.test" + p,
                                        "imap mx0.example.test" + p, "imap mx1.example.test" + p,
                                        "imap mx2.example.test" + p, "imap example.test" + p}));
    EXPECT_EQ(gate->Of("https ").size(), 2u);
}

} // namespace
} // namespace postern
