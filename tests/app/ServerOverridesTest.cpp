#include "app/ServerOverrides.h"

#include <gtest/gtest.h>

#include <map>

namespace postern {
namespace {

EngineOptions With(const std::map<std::string, std::string>& environment)
{
    return EngineOptionsWithOverrides([&environment](const char* name) -> std::optional<std::string> {
        const auto found = environment.find(name);
        return found == environment.end() ? std::nullopt : std::optional<std::string>(found->second);
    });
}

TEST(ServerOverrides, VariablesPointDetectionAndSignInElsewhereAndBadValuesAreIgnored)
{
    const EngineOptions real = With({});
    EXPECT_EQ(real.detection.ispdbHost, AutodetectSeams{}.ispdbHost);
    EXPECT_EQ(real.signIn.endpoints.tokenHost, OAuthEndpoints{}.tokenHost);

    const EngineOptions local = With({{"POSTERN_AUTOCONFIG", "localhost:17443"},
                                      {"POSTERN_DNS_SERVER", "127.0.0.1:5353"},
                                      {"POSTERN_PROBE_PORTS", "1993,1465,1587"},
                                      {"POSTERN_OAUTH", "127.0.0.1:18443"},
                                      {"POSTERN_GOOGLE_IMAP", "localhost:1993"},
                                      {"POSTERN_GOOGLE_SMTP", "localhost:1465"}});
    EXPECT_EQ(local.detection.ispdbHost, "localhost");
    EXPECT_EQ(local.detection.autoconfigPort, 17443);
    EXPECT_EQ(local.detection.dnsServer.address, "127.0.0.1");
    EXPECT_EQ(local.detection.dnsServer.port, 5353);
    EXPECT_EQ(local.detection.imapProbePort, 1993u);
    EXPECT_EQ(local.detection.submissionProbePort, 1587u);
    EXPECT_EQ(local.signIn.endpoints.authorizationHost, "127.0.0.1");
    EXPECT_EQ(local.signIn.endpoints.tokenPort, 18443);
    EXPECT_EQ(local.googleMail.imapHost, "localhost");
    EXPECT_EQ(local.googleMail.imapPort, 1993);
    EXPECT_EQ(local.googleMail.smtpPort, 1465);
    EXPECT_EQ(real.googleMail.imapHost, "imap.gmail.com");

    for (const char* bad : {"localhost", ":443", "localhost:0", "localhost:99999", "localhost:x"}) {
        const EngineOptions ignored = With({{"POSTERN_AUTOCONFIG", bad}, {"POSTERN_PROBE_PORTS", bad}});
        EXPECT_EQ(ignored.detection.ispdbHost, AutodetectSeams{}.ispdbHost) << bad;
        EXPECT_EQ(ignored.detection.imapProbePort, kImapsPort) << bad;
    }
    EXPECT_EQ(With({{"POSTERN_PROBE_PORTS", "1,2"}}).detection.imapProbePort, kImapsPort);
}

} // namespace
} // namespace postern
