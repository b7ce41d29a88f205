#include "app/ServerOverrides.h"

#include "account/AccountForm.h"

#include <string_view>

namespace postern {

namespace {

struct HostPort {
    std::string host;
    uint16_t port = 0;
};

// "HOST:PORT", split at the last colon.
std::optional<HostPort> ParseHostPort(std::string_view text)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    const std::optional<int32_t> port = ParsePortNumber(text.substr(colon + 1));
    if (!port)
        return std::nullopt;
    return HostPort{std::string(text.substr(0, colon)), static_cast<uint16_t>(*port)};
}

} // namespace

EngineOptions EngineOptionsWithOverrides(const std::function<std::optional<std::string>(const char* name)>& variable)
{
    EngineOptions options;
    const auto hostPort = [&variable](const char* name) -> std::optional<HostPort> {
        const std::optional<std::string> value = variable(name);
        return value ? ParseHostPort(*value) : std::nullopt;
    };
    if (const std::optional<HostPort> autoconfig = hostPort("POSTERN_AUTOCONFIG")) {
        options.detection.ispdbHost = autoconfig->host;
        options.detection.ispdbPort = autoconfig->port;
        options.detection.autoconfigHost = autoconfig->host;
        options.detection.autoconfigPort = autoconfig->port;
    }
    if (const std::optional<HostPort> dns = hostPort("POSTERN_DNS_SERVER"))
        options.detection.dnsServer = DnsServer{dns->host, dns->port};
    if (const std::optional<std::string> probes = variable("POSTERN_PROBE_PORTS")) {
        const size_t first = probes->find(',');
        const size_t second = first == std::string::npos ? first : probes->find(',', first + 1);
        if (second != std::string::npos) {
            const auto imap = ParsePortNumber(std::string_view(*probes).substr(0, first));
            const auto smtps = ParsePortNumber(std::string_view(*probes).substr(first + 1, second - first - 1));
            const auto submission = ParsePortNumber(std::string_view(*probes).substr(second + 1));
            if (imap && smtps && submission) {
                options.detection.imapProbePort = static_cast<uint32_t>(*imap);
                options.detection.smtpsProbePort = static_cast<uint32_t>(*smtps);
                options.detection.submissionProbePort = static_cast<uint32_t>(*submission);
            }
        }
    }
    if (const std::optional<HostPort> oauth = hostPort("POSTERN_OAUTH")) {
        options.signIn.endpoints.authorizationHost = oauth->host;
        options.signIn.endpoints.authorizationPort = oauth->port;
        options.signIn.endpoints.tokenHost = oauth->host;
        options.signIn.endpoints.tokenPort = oauth->port;
    }
    if (const std::optional<HostPort> imap = hostPort("POSTERN_GOOGLE_IMAP")) {
        options.googleMail.imapHost = imap->host;
        options.googleMail.imapPort = imap->port;
    }
    if (const std::optional<HostPort> smtp = hostPort("POSTERN_GOOGLE_SMTP")) {
        options.googleMail.smtpHost = smtp->host;
        options.googleMail.smtpPort = smtp->port;
    }
    return options;
}

} // namespace postern
