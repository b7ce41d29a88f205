// DetectServerSettings: the five sources in order, cheapest and most certain
// first. Every failure of a source just moves on to the next one.
#include "account/Autodetect.h"
#include "platform/AsciiText.h"

#include "account/GoogleSignIn.h"
#include "account/HttpsRequest.h"

namespace postern {

namespace {

// The domain ends up in host names and in request paths: characters that
// could change where a request goes, or what it says, are refused outright.
bool IsPlausibleDomain(std::string_view domain)
{
    for (const char c : domain) {
        const auto byte = static_cast<unsigned char>(c);
        const bool allowed = (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') || byte == '-'
            || byte == '.' || byte == '_' || byte >= 0x80;
        if (!allowed)
            return false;
    }
    return true;
}

bool Allowed(const AutodetectSeams& seams, const std::string& step)
{
    return !seams.beforeNetwork || seams.beforeNetwork(step);
}

bool SrvAt(const AutodetectSeams& seams, const std::string& name, std::string& host, uint32_t& port)
{
    return Allowed(seams, "dns SRV " + name) && LookupSrv(name, seams.dnsServer, host, port);
}

bool ImapAnswers(const AutodetectSeams& seams, const std::string& host)
{
    return Allowed(seams, "imap " + host + ":" + std::to_string(seams.imapProbePort))
        && ProbeImap(host, seams.imapProbePort, seams.probeTimeoutMs);
}

bool SmtpAnswers(const AutodetectSeams& seams, const std::string& host, uint32_t port, bool implicitTls)
{
    return Allowed(seams, "smtp " + host + ":" + std::to_string(port))
        && ProbeSmtp(host, port, implicitTls, seams.probeTimeoutMs);
}

// Drops empty entries and later duplicates (ASCII case-insensitive).
std::vector<std::string> Deduplicated(const std::vector<std::string>& candidates)
{
    std::vector<std::string> out;
    std::vector<std::string> seen;
    for (const std::string& candidate : candidates) {
        if (candidate.empty())
            continue;
        const std::string key = ToLowerAscii(candidate);
        bool duplicate = false;
        for (const std::string& earlier : seen)
            duplicate = duplicate || earlier == key;
        if (duplicate)
            continue;
        seen.push_back(key);
        out.push_back(candidate);
    }
    return out;
}

bool TrySrv(const AutodetectSeams& seams, const std::string& domain, ServerSettings& settings)
{
    std::string imapHost;
    uint32_t imapPort = 0;
    if (!SrvAt(seams, "_imaps._tcp." + domain, imapHost, imapPort))
        return false;
    std::string smtpHost;
    uint32_t smtpPort = 0;
    const bool haveSubmission = SrvAt(seams, "_submissions._tcp." + domain, smtpHost, smtpPort)
        || SrvAt(seams, "_submission._tcp." + domain, smtpHost, smtpPort);
    if (!ImapAnswers(seams, imapHost))
        return false;
    settings.imapHost = imapHost;
    settings.imapPort = 993; // the record's port is not used: only implicit TLS on 993 is spoken
    settings.smtpHost = haveSubmission ? smtpHost : imapHost;
    settings.smtpPort = haveSubmission ? static_cast<int32_t>(smtpPort) : 465;
    settings.source = "DNS SRV records";
    return true;
}

bool TryDocument(const AutodetectSeams& seams, const std::string& host, uint16_t port, const std::string& path,
                 const char* source, ServerSettings& settings)
{
    std::string body;
    uint32_t status = 0;
    std::string error;
    if (!Allowed(seams, "https " + host + ":" + std::to_string(port) + " " + path)
        || !HttpsGet(host, port, path, body, status, error) || status != 200)
        return false;
    ServerSettings found;
    if (!ParseAutoconfig(body, found) || !ImapAnswers(seams, found.imapHost))
        return false;
    found.source = source;
    settings = found;
    return true;
}

bool TryMxGuess(const AutodetectSeams& seams, const std::string& domain, ServerSettings& settings)
{
    std::vector<std::string> mxHosts;
    if (Allowed(seams, "dns MX " + domain))
        mxHosts = LookupMx(domain, seams.dnsServer);

    std::vector<std::string> imapCandidates = {"imap." + domain, "mail." + domain};
    imapCandidates.insert(imapCandidates.end(), mxHosts.begin(), mxHosts.end());
    imapCandidates.push_back(domain);
    std::string imapHost;
    for (const std::string& candidate : Deduplicated(imapCandidates)) {
        if (ImapAnswers(seams, candidate)) {
            imapHost = candidate;
            break;
        }
    }
    if (imapHost.empty())
        return false;

    std::vector<std::string> smtpCandidates = {imapHost, "smtp." + domain, "mail." + domain};
    smtpCandidates.insert(smtpCandidates.end(), mxHosts.begin(), mxHosts.end());
    smtpCandidates.push_back(domain);
    ServerSettings found;
    found.imapHost = imapHost;
    found.imapPort = 993;
    found.source = "MX lookup + live probe";
    for (const std::string& candidate : Deduplicated(smtpCandidates)) {
        if (SmtpAnswers(seams, candidate, seams.smtpsProbePort, true)) {
            found.smtpHost = candidate;
            found.smtpPort = 465;
            break;
        }
        if (SmtpAnswers(seams, candidate, seams.submissionProbePort, false)) {
            found.smtpHost = candidate;
            found.smtpPort = 587;
            break;
        }
    }
    if (found.smtpHost.empty()) {
        found.smtpHost = imapHost;
        found.smtpPort = 465;
        found.note = "IMAP verified; SMTP host is a guess - check it.";
    }
    settings = found;
    return true;
}

} // namespace

bool DetectServerSettings(const std::string& address, ServerSettings& settings, std::string& error)
{
    return DetectServerSettings(AutodetectSeams{}, address, settings, error);
}

bool DetectServerSettings(const AutodetectSeams& seams, const std::string& address, ServerSettings& settings,
                          std::string& error)
{
    const std::size_t at = address.find('@');
    std::string_view rest = at == std::string::npos ? std::string_view() : std::string_view(address).substr(at + 1);
    while (!rest.empty() && static_cast<unsigned char>(rest.front()) <= 0x20)
        rest.remove_prefix(1);
    while (!rest.empty() && static_cast<unsigned char>(rest.back()) <= 0x20)
        rest.remove_suffix(1);
    if (rest.empty()) {
        error = "enter a full email address first";
        return false;
    }
    const std::string domain = ToLowerAscii(rest);
    if (!IsPlausibleDomain(domain)) {
        error = "not a valid mail domain: " + domain;
        return false;
    }

    ServerSettings found;
    if (MatchKnownProvider(domain, found)) {
        found.source = "known provider";
        settings = found;
        return true;
    }
    if (seams.networkAllowed) {
        if (TrySrv(seams, domain, found)) {
            settings = found;
            return true;
        }
        // The address goes into a query string: encoded, a "+" or "&" in it
        // cannot change its meaning, and no byte can break the request line.
        const std::string autoconfigHost = seams.autoconfigHost.empty() ? "autoconfig." + domain
                                                                         : seams.autoconfigHost;
        if (TryDocument(seams, seams.ispdbHost, seams.ispdbPort, "/v1.1/" + domain, "ISPDB", settings)
            || TryDocument(seams, autoconfigHost, seams.autoconfigPort,
                           "/mail/config-v1.1.xml?emailaddress=" + UrlEncode(address), "domain autoconfig",
                           settings)
            || TryMxGuess(seams, domain, settings))
            return true;
    }
    error = "no IMAP server found for " + domain + " (checked providers, SRV, ISPDB, autoconfig, MX)";
    return false;
}

} // namespace postern
