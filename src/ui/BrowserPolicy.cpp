#include "ui/BrowserPolicy.h"

#include "platform/UrlPolicy.h"

#include <string>

namespace postern {

namespace {

enum class Scheme { none, http, https, mailto, data, about, other };

bool IsAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// The URI's scheme as RFC 3986 spells it, in any letter case. Anything
// before it (a space, a control byte) means the URI has none.
Scheme SchemeOf(std::string_view uri)
{
    if (uri.empty() || !IsAlpha(uri.front()))
        return Scheme::none;
    std::string scheme;
    for (const char c : uri) {
        if (c == ':')
            break;
        if (!IsAlpha(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.')
            return Scheme::none;
        scheme.push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    }
    if (scheme.size() == uri.size())
        return Scheme::none; // no colon
    if (scheme == "http")
        return Scheme::http;
    if (scheme == "https")
        return Scheme::https;
    if (scheme == "mailto")
        return Scheme::mailto;
    if (scheme == "data")
        return Scheme::data;
    if (scheme == "about")
        return Scheme::about;
    return Scheme::other;
}

bool Passive(ResourceKind kind)
{
    return kind == ResourceKind::stylesheet || kind == ResourceKind::image || kind == ResourceKind::media ||
           kind == ResourceKind::font;
}

bool Openable(std::string_view uri)
{
    std::string ignored;
    return CheckOpenableUrl(uri, ignored);
}

} // namespace

bool ResourceAllowed(std::string_view uri, ResourceKind kind)
{
    switch (SchemeOf(uri)) {
    case Scheme::http:
    case Scheme::https:
    case Scheme::data: // inline images; a data: document or script could carry code
        return Passive(kind);
    case Scheme::about:
        return Passive(kind) || kind == ResourceKind::document;
    default:
        return false; // cid: left unresolved, file:, javascript:, no URI at all
    }
}

LinkAction NavigationAction(std::string_view uri, bool userInitiated, bool programPage)
{
    const Scheme scheme = SchemeOf(uri);
    if (programPage && (scheme == Scheme::about || scheme == Scheme::data))
        return LinkAction::proceed;
    const bool link = scheme == Scheme::http || scheme == Scheme::https || scheme == Scheme::mailto;
    return userInitiated && link && Openable(uri) ? LinkAction::openOutside : LinkAction::block;
}

LinkAction NewWindowAction(std::string_view uri, bool userInitiated)
{
    const Scheme scheme = SchemeOf(uri);
    const bool web = scheme == Scheme::http || scheme == Scheme::https;
    return userInitiated && web && Openable(uri) ? LinkAction::openOutside : LinkAction::block;
}

} // namespace postern
