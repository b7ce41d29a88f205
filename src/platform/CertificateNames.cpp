#include "platform/CertificateNames.h"

#include "platform/AsciiText.h"

#include <cstdint>

namespace postern {

namespace {

// A fully qualified name may end in a dot; the certificate's may or may not.
std::string_view WithoutTrailingDot(std::string_view name)
{
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    return name;
}

// Letters, digits, hyphens and dots (underscores too, which some internal
// names carry): anything else, a NUL above all, names no host we connect to.
bool IsHostNameText(std::string_view name)
{
    if (name.empty())
        return false;
    for (const char c : name) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                             (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_';
        if (!allowed)
            return false;
    }
    return true;
}

bool DnsNameMatches(std::string_view pattern, std::string_view host)
{
    pattern = WithoutTrailingDot(pattern);
    if (pattern.size() > 2 && pattern.substr(0, 2) == "*.") {
        // The wildcard covers exactly one whole label, and never the last two
        // labels on their own ("*.com" names no host).
        const std::string_view rest = pattern.substr(1); // ".example.com"
        if (!IsHostNameText(rest.substr(1)) || rest.find('.', 1) == std::string_view::npos)
            return false;
        const std::size_t firstDot = host.find('.');
        return firstDot != std::string_view::npos && firstDot > 0 &&
               EqualsIgnoringAsciiCase(host.substr(firstDot), rest);
    }
    return IsHostNameText(pattern) && EqualsIgnoringAsciiCase(pattern, host);
}

bool ParseIpv4(std::string_view text, std::string& bytes)
{
    std::string result;
    std::size_t position = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (position >= text.size() || text[position] != '.')
                return false;
            ++position;
        }
        const std::size_t start = position;
        unsigned value = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9' &&
               position - start < 3) {
            value = value * 10 + static_cast<unsigned>(text[position] - '0');
            ++position;
        }
        const std::size_t digits = position - start;
        // A leading zero could be read as octal by some parsers: refuse it.
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return false;
        result.push_back(static_cast<char>(value));
    }
    if (position != text.size())
        return false;
    bytes = std::move(result);
    return true;
}

// Up to four hex digits; false when there are none or more.
bool ParseHexGroup(std::string_view group, uint16_t& value)
{
    if (group.empty() || group.size() > 4)
        return false;
    value = 0;
    for (const char c : group) {
        const int digit = HexDigitValue(c);
        if (digit < 0)
            return false;
        value = static_cast<uint16_t>(value << 4 | digit);
    }
    return true;
}

// The groups of one side of "::" (or of a literal without it), appended as
// bytes; a dotted IPv4 tail counts as two groups.
bool ParseIpv6Groups(std::string_view text, bool mayEndInIpv4, std::string& bytes)
{
    if (text.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = text.find(':', start);
        const std::string_view group =
            text.substr(start, colon == std::string_view::npos ? std::string_view::npos : colon - start);
        if (colon == std::string_view::npos && mayEndInIpv4 &&
            group.find('.') != std::string_view::npos) {
            std::string ipv4;
            if (!ParseIpv4(group, ipv4))
                return false;
            bytes += ipv4;
            return true;
        }
        uint16_t value = 0;
        if (!ParseHexGroup(group, value))
            return false;
        bytes.push_back(static_cast<char>(value >> 8));
        bytes.push_back(static_cast<char>(value & 0xFF));
        if (colon == std::string_view::npos)
            return true;
        start = colon + 1;
    }
}

bool ParseIpv6(std::string_view text, std::string& bytes)
{
    constexpr std::size_t kSize = 16;
    std::string head;
    std::string tail;
    const std::size_t gap = text.find("::");
    if (gap == std::string_view::npos) {
        if (!ParseIpv6Groups(text, true, head) || head.size() != kSize)
            return false;
    } else {
        if (text.find("::", gap + 1) != std::string_view::npos ||
            !ParseIpv6Groups(text.substr(0, gap), false, head) ||
            !ParseIpv6Groups(text.substr(gap + 2), true, tail) ||
            head.size() + tail.size() > kSize - 2)
            return false;
    }
    head.append(kSize - head.size() - tail.size(), '\0');
    bytes = head + tail;
    return true;
}

} // namespace

bool ParseIpLiteral(std::string_view text, std::string& bytes)
{
    if (text.find(':') == std::string_view::npos)
        return ParseIpv4(text, bytes);
    return ParseIpv6(text, bytes);
}

bool CertificateNamesHost(const CertificateNames& names, std::string_view host)
{
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    std::string address;
    if (ParseIpLiteral(host, address)) {
        for (const std::string& entry : names.ipAddresses) {
            if (entry == address)
                return true;
        }
        return false;
    }
    host = WithoutTrailingDot(host);
    if (!IsHostNameText(host))
        return false;
    for (const std::string& entry : names.dnsNames) {
        if (DnsNameMatches(entry, host))
            return true;
    }
    return false;
}

} // namespace postern
