// HTTPS through WinHTTP: system proxy settings and the system's certificate
// validation, with the host name checked again by the rule both backends
// share. WinHTTP cannot be handed extra trust anchors, so a server with a
// private CA is reachable only when that CA is in the machine's Root store.
#include "platform/Https.h"

#include "platform/win32/CertificateCheck_win.h"
#include "platform/win32/WideText_win.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace postern {

namespace {

// More than any token or autoconfiguration answer; a server streaming
// without end must not exhaust memory.
constexpr std::size_t kMaxResponseBody = 16u << 20;

constexpr char kRequestFailed[] = "HTTPS request failed (network or TLS error)";

struct InternetClose {
    void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetClose>;

HINTERNET OpenSession()
{
    HINTERNET session = WinHttpOpen(L"Postern/1.0", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    // Automatic proxy discovery exists from Windows 8.1 on (and not in every
    // Wine); the registry's proxy settings are the next best thing.
    if (session == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        session = WinHttpOpen(L"Postern/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    return session;
}

bool ReadBody(HINTERNET request, std::string& body, std::string& error)
{
    // Ends when the server has nothing more; the size cap bounds it too.
    while (true) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            error = kRequestFailed;
            return false;
        }
        if (available == 0)
            return true;
        if (body.size() + available > kMaxResponseBody) {
            error = kRequestFailed;
            return false;
        }
        const std::size_t before = body.size();
        body.resize(before + available);
        DWORD read = 0;
        if (!WinHttpReadData(request, body.data() + before, available, &read)) {
            body.resize(before);
            error = kRequestFailed;
            return false;
        }
        body.resize(before + read);
        if (read == 0)
            return true;
    }
}

// WinHTTP accepts a certificate that names the host only in its common
// name; the request body (a refresh token, a client secret) goes out only
// after the certificate's subjectAltName entries were found to name it.
bool ServerNamesHost(HINTERNET request, const std::string& host)
{
    const CERT_CONTEXT* certificate = nullptr;
    DWORD size = sizeof certificate;
    if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) ||
        certificate == nullptr)
        return false;
    const bool named = CertificateNamesHost(ReadCertificateNames(certificate), host);
    CertFreeCertificateContext(certificate);
    return named;
}

bool SendBody(HINTERNET request, const std::string& body)
{
    for (std::size_t sent = 0; sent < body.size();) {
        DWORD written = 0;
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(body.size() - sent, 1u << 20));
        if (!WinHttpWriteData(request, body.data() + sent, piece, &written) || written == 0)
            return false;
        sent += written;
    }
    return true;
}

} // namespace

bool PerformHttps(const HttpsExchange& request, std::string& responseBody, uint32_t& status,
                  std::string& error)
{
    responseBody.clear();
    status = 0;
    if (request.body.size() > MAXDWORD) {
        error = kRequestFailed;
        return false;
    }
    // A line break would end the header early and smuggle in another one.
    if (request.contentType.find_first_of("\r\n") != std::string::npos) {
        error = "HTTPS request not sent: line break in the content type";
        return false;
    }
    const InternetHandle session(OpenSession());
    if (!session) {
        error = "WinHttpOpen failed";
        return false;
    }
    const int timeout = static_cast<int>(std::min<uint32_t>(request.timeoutMs, INT_MAX));
    WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);

    const InternetHandle connection(
        WinHttpConnect(session.get(), ToWide(request.host).c_str(), request.port, 0));
    if (!connection) {
        error = "WinHttpOpenRequest failed";
        return false;
    }
    const InternetHandle handle(WinHttpOpenRequest(
        connection.get(), ToWide(request.verb).c_str(), ToWide(request.path).c_str(), nullptr,
        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!handle) {
        error = "WinHttpOpenRequest failed";
        return false;
    }
    WinHttpSetTimeouts(handle.get(), timeout, timeout, timeout, timeout);
    // The wait for the response headers has its own limit (90 s by default),
    // which Wine does not derive from the receive time-out above.
    DWORD responseTimeout = static_cast<DWORD>(timeout);
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                     sizeof responseTimeout);
    // A redirect is an answer like any other for our callers (autoconfig
    // documents count only with status 200), never something to follow.
    DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy,
                     sizeof redirectPolicy);

    std::wstring headers;
    if (!request.contentType.empty())
        headers = L"Content-Type: " + ToWide(request.contentType) + L"\r\n";
    if (!WinHttpSendRequest(handle.get(),
                            headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                            headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA,
                            0, static_cast<DWORD>(request.body.size()), 0)) {
        error = kRequestFailed;
        return false;
    }
    if (!ServerNamesHost(handle.get(), request.host) || !SendBody(handle.get(), request.body) ||
        !WinHttpReceiveResponse(handle.get(), nullptr)) {
        error = kRequestFailed;
        return false;
    }

    DWORD statusCode = 0;
    DWORD statusSize = sizeof statusCode;
    if (!WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &statusCode, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        error = kRequestFailed;
        return false;
    }
    if (!ReadBody(handle.get(), responseBody, error)) {
        responseBody.clear();
        return false;
    }
    status = statusCode;
    return true;
}

} // namespace postern
