// Autodetection pointed at the fixture: the DNS peer for SRV and MX
// ($POSTERN_DNS_PORT), the autoconfig peer standing in for the ISPDB and the
// domain's autoconfig host ($POSTERN_AUTOCONFIG_PORT), and Dovecot and
// Postfix for the probes. Only loopback servers are ever let through.
#pragma once

#include "account/Autodetect.h"
#include "support/FixtureEnv.h"

#include <string>

namespace postern::test {

#ifdef _WIN32
inline constexpr bool kDnsAnyPort = false; // the Windows resolver asks port 53 only
#else
inline constexpr bool kDnsAnyPort = true;
#endif

// True when the DNS peer runs where this platform's resolver can ask it.
[[nodiscard]] inline bool DnsPeerUsable()
{
    const uint32_t port = FixturePort("POSTERN_DNS_PORT");
    return port != 0 && (kDnsAnyPort || port == 53);
}

// A step of detection is a DNS query or names a loopback server.
[[nodiscard]] inline bool LoopbackStep(const std::string& step)
{
    return step.rfind("dns ", 0) == 0 || step.find(" localhost:") != std::string::npos;
}

[[nodiscard]] inline AutodetectSeams FixtureAutodetectSeams()
{
    AutodetectSeams seams;
    seams.dnsServer = DnsServer{"127.0.0.1", static_cast<uint16_t>(FixturePort("POSTERN_DNS_PORT"))};
    seams.ispdbHost = "localhost";
    seams.ispdbPort = static_cast<uint16_t>(FixturePort("POSTERN_AUTOCONFIG_PORT"));
    seams.autoconfigHost = "localhost";
    seams.autoconfigPort = seams.ispdbPort;
    seams.imapProbePort = FixturePort("POSTERN_IMAP_PORT");
    seams.smtpsProbePort = FixturePort("POSTERN_SMTPS_PORT");
    seams.submissionProbePort = FixturePort("POSTERN_SUBMISSION_PORT");
    seams.beforeNetwork = LoopbackStep;
    return seams;
}

} // namespace postern::test
