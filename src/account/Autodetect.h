// Finding an account's IMAP and SMTP servers from its address: a built-in
// table of well-known providers, DNS SRV records, the public ISPDB, the
// domain's own autoconfig document, and last a guess from the MX records
// confirmed by live connections. Everything but the table must produce an
// IMAP server that really answers over TLS before it counts.
#pragma once

#include "platform/Dns.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct ServerSettings {
    std::string imapHost;
    int32_t imapPort = 993;
    std::string smtpHost;
    int32_t smtpPort = 465;
    bool useGoogleSignIn = false;
    std::string source; // which source gave the result
    std::string note;   // advice for the user, or empty
};

inline constexpr uint32_t kImapsPort = 993;
inline constexpr uint32_t kSmtpsPort = 465;
inline constexpr uint32_t kSubmissionPort = 587;
inline constexpr uint32_t kProbeTimeoutMs = 5000;

// Where detection looks. The defaults are the real world; tests point each
// at a loopback server. The probe ports are where a server is knocked on;
// the result still names the standard port that stood for.
struct AutodetectSeams {
    DnsServer dnsServer; // empty address: the system's resolver
    std::string ispdbHost = "autoconfig.thunderbird.net";
    uint16_t ispdbPort = 443;
    std::string autoconfigHost; // empty: "autoconfig." + domain
    uint16_t autoconfigPort = 443;
    uint32_t imapProbePort = kImapsPort;
    uint32_t smtpsProbePort = kSmtpsPort;
    uint32_t submissionProbePort = kSubmissionPort;
    uint32_t probeTimeoutMs = kProbeTimeoutMs;
    bool networkAllowed = true; // false: the known-provider table only
    // Asked before each DNS query ("dns SRV NAME", "dns MX NAME"), HTTPS
    // request ("https HOST:PORT PATH") and probe ("imap HOST:PORT", "smtp
    // HOST:PORT"); false skips that step as if nothing had answered.
    std::function<bool(const std::string& step)> beforeNetwork;
};

// Blocking (many seconds when servers are silent): call from a worker.
[[nodiscard]] bool DetectServerSettings(const std::string& address, ServerSettings& settings,
                                        std::string& error);
[[nodiscard]] bool DetectServerSettings(const AutodetectSeams& seams, const std::string& address,
                                        ServerSettings& settings, std::string& error);

// The table row whose domain list holds domain (ASCII case-insensitive):
// hosts, ports, Google flag and note are copied. No network.
[[nodiscard]] bool MatchKnownProvider(std::string_view domain, ServerSettings& settings);

// The usable SRV record of lowest priority (the first of equals); "." and
// empty targets mean "not offered" and are skipped.
[[nodiscard]] bool LookupSrv(const std::string& name, const DnsServer& server, std::string& host,
                             uint32_t& port);

// MX hosts by preference, equal preferences by name; empty on failure.
[[nodiscard]] std::vector<std::string> LookupMx(const std::string& domain, const DnsServer& server);

// Reads an autoconfig (ISPDB) document by plain text search. The IMAP port
// becomes 993 (only implicit TLS is spoken); the SMTP port 465 for "SSL",
// else 587 for 25 or none, else as given.
[[nodiscard]] bool ParseAutoconfig(std::string_view xml, ServerSettings& settings);

// Connects, handshakes with host as the TLS name, and wants "* OK" or
// "* PREAUTH" as the first thing said.
[[nodiscard]] bool ProbeImap(const std::string& host, uint32_t port = kImapsPort,
                             uint32_t timeoutMs = kProbeTimeoutMs);

// Connects (TLS first only with implicitTls) and wants "220"; no EHLO.
[[nodiscard]] bool ProbeSmtp(const std::string& host, uint32_t port, bool implicitTls,
                             uint32_t timeoutMs = kProbeTimeoutMs);
// Implicit TLS exactly on port 465.
[[nodiscard]] bool ProbeSmtp(const std::string& host, uint32_t port);

} // namespace postern
