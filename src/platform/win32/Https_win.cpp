// HTTPS through WinHTTP: system proxy settings and the system's certificate
// validation, with the host name checked again by the rule both backends
// share. WinHTTP cannot be handed extra trust anchors, so a server with a
// private CA is reachable only when that CA is in the machine's Root store.
//
// Requests run in WinHTTP's asynchronous mode, waited for here: only then may
// another thread end a request under way (by closing its handle), which a
// watcher being stopped needs while its token refresh hangs.
#include "platform/Https.h"

#include "platform/win32/CertificateCheck_win.h"
#include "platform/win32/WideText_win.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <memory>
#include <mutex>

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
    HINTERNET session =
        WinHttpOpen(L"Postern/1.0", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                    WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    // Automatic proxy discovery exists from Windows 8.1 on (and not in every
    // Wine); the registry's proxy settings are the next best thing.
    if (session == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        session = WinHttpOpen(L"Postern/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    return session;
}

// What WinHTTP's thread reports about one request handle, and the buffer
// its reads and writes use. Fields are written before `done` is set and read
// after the wait, which orders the two. Held by the owner and by WinHTTP
// until the handle's closing notice: an operation cut short by a cancel may
// still finish into the buffer after the owner has gone.
struct Completion {
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);     // an operation ended
    HANDLE cancelled = CreateEventW(nullptr, TRUE, FALSE, nullptr); // the owner closed the handle
    DWORD count = 0;
    bool failed = false;
    std::string buffer;
    std::atomic<int> holders{2};

    Completion() = default;
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;
    ~Completion()
    {
        if (done)
            CloseHandle(done);
        if (cancelled)
            CloseHandle(cancelled);
    }

    void Release()
    {
        if (holders.fetch_sub(1) == 1)
            delete this;
    }

    static void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, void* info,
                                  DWORD infoLength)
    {
        auto* self = reinterpret_cast<Completion*>(context);
        if (self == nullptr)
            return;
        switch (status) {
        case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
            self->Signal(false, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_WRITE_COMPLETE:
        case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
            self->Signal(false, info != nullptr ? *static_cast<const DWORD*>(info) : 0);
            break;
        case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
            self->Signal(false, infoLength);
            break;
        case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
            self->Signal(true, 0);
            break;
        case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING: // the last notice of the handle
            self->Release();
            break;
        default:
            break;
        }
    }

    void Signal(bool failure, DWORD value)
    {
        failed = failure;
        count = value;
        SetEvent(done);
    }
};

// A request handle in asynchronous mode. The owner starts each operation
// and waits for it; Close, from any thread, ends the wait at once (WinHTTP
// ends the operation itself as soon as it can).
class AsyncRequest {
public:
    AsyncRequest(HINTERNET request, DWORD waitMs) : completion_(new Completion), waitMs_(waitMs)
    {
        DWORD_PTR context = Context();
        if (!completion_->done || !completion_->cancelled ||
            WinHttpSetStatusCallback(request, &Completion::OnStatus,
                                     WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS |
                                         WINHTTP_CALLBACK_FLAG_HANDLES,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK ||
            !WinHttpSetOption(request, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context)) {
            WinHttpCloseHandle(request); // without the context no notice can reach us
            delete completion_;
            completion_ = nullptr;
            return;
        }
        handle_ = request;
    }
    AsyncRequest(const AsyncRequest&) = delete;
    AsyncRequest& operator=(const AsyncRequest&) = delete;

    ~AsyncRequest()
    {
        if (completion_ == nullptr)
            return;
        Close();
        completion_->Release();
    }

    [[nodiscard]] bool Usable() const { return completion_ != nullptr; }
    // What every notice of this request carries, to find its completion.
    [[nodiscard]] DWORD_PTR Context() const { return reinterpret_cast<DWORD_PTR>(completion_); }
    // Where reads land and writes come from; valid while the handle lives.
    [[nodiscard]] std::string& Buffer() { return completion_->buffer; }

    // Runs start (an asynchronous WinHTTP call on the handle) and waits for
    // its end. False when the handle is closed, the call or the operation
    // failed, or nothing came within the wait limit; count is the byte count
    // the operation reported.
    template <typename Start>
    [[nodiscard]] bool Run(Start start, DWORD* count = nullptr)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (handle_ == nullptr || !start(handle_))
                return false;
        }
        HANDLE events[] = {completion_->done, completion_->cancelled};
        if (WaitForMultipleObjects(2, events, FALSE, waitMs_) != WAIT_OBJECT_0 ||
            completion_->failed)
            return false;
        if (count != nullptr)
            *count = completion_->count;
        return true;
    }

    // A synchronous query on the handle (headers, options); false once closed.
    template <typename Call>
    [[nodiscard]] bool Query(Call query)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return handle_ != nullptr && query(handle_);
    }

    void Close()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (handle_ == nullptr)
            return;
        SetEvent(completion_->cancelled);
        WinHttpCloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    std::mutex mutex_;
    HINTERNET handle_ = nullptr;
    Completion* completion_;
    DWORD waitMs_;
};

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

bool SendBody(AsyncRequest& request, const std::string& body)
{
    std::string& buffer = request.Buffer();
    for (std::size_t sent = 0; sent < body.size();) {
        buffer.assign(body, sent, std::min<std::size_t>(body.size() - sent, 1u << 20));
        const DWORD piece = static_cast<DWORD>(buffer.size());
        DWORD written = 0;
        if (!request.Run(
                [&](HINTERNET h) { return WinHttpWriteData(h, buffer.data(), piece, nullptr); },
                &written) ||
            written == 0)
            return false;
        sent += std::min(written, piece);
    }
    return true;
}

bool ReadBody(AsyncRequest& request, std::string& body)
{
    std::string& buffer = request.Buffer();
    // Ends when the server has nothing more; the size cap bounds it too.
    while (true) {
        DWORD available = 0;
        if (!request.Run([](HINTERNET h) { return WinHttpQueryDataAvailable(h, nullptr); },
                         &available))
            return false;
        if (available == 0)
            return true;
        if (body.size() + available > kMaxResponseBody)
            return false;
        buffer.resize(available);
        DWORD read = 0;
        if (!request.Run(
                [&](HINTERNET h) { return WinHttpReadData(h, buffer.data(), available, nullptr); },
                &read))
            return false;
        body.append(buffer, 0, std::min(read, available));
        if (read == 0)
            return true;
    }
}

bool Exchange(const HttpsExchange& request, std::string& responseBody, uint32_t& status,
              std::string& error)
{
    const InternetHandle session(OpenSession());
    if (!session) {
        error = "WinHttpOpen failed";
        return false;
    }
    const int timeout = static_cast<int>(std::min<uint32_t>(request.timeoutMs, INT_MAX));
    WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout);

    const InternetHandle connection(
        WinHttpConnect(session.get(), ToWide(request.host).c_str(), request.port, 0));
    HINTERNET opened =
        connection ? WinHttpOpenRequest(connection.get(), ToWide(request.verb).c_str(),
                                        ToWide(request.path).c_str(), nullptr, WINHTTP_NO_REFERER,
                                        WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)
                   : nullptr;
    if (opened == nullptr) {
        error = "WinHttpOpenRequest failed";
        return false;
    }
    WinHttpSetTimeouts(opened, timeout, timeout, timeout, timeout);
    // The wait for the response headers has its own limit (90 s by default),
    // which Wine does not derive from the receive time-out above.
    DWORD responseTimeout = static_cast<DWORD>(timeout);
    WinHttpSetOption(opened, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                     sizeof responseTimeout);
    // A redirect is an answer like any other for our callers (autoconfig
    // documents count only with status 200), never something to follow.
    DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    WinHttpSetOption(opened, WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy,
                     sizeof redirectPolicy);

    // WinHTTP ends each phase by its own time-outs; this bound only keeps a
    // wait from outliving them should a completion never come.
    const DWORD waitMs = static_cast<DWORD>(
        std::min<uint64_t>(uint64_t{request.timeoutMs} * 4 + 5000, MAXDWORD - 1));
    AsyncRequest handle(opened, waitMs);
    if (!handle.Usable()) {
        error = "WinHttpOpenRequest failed";
        return false;
    }
    // Detached before the handle goes: a cancel never reaches a closed one.
    if (request.cancel && !request.cancel->Attach([&handle] { handle.Close(); })) {
        error = kRequestFailed;
        return false;
    }
    struct Detach {
        HttpsCancel* cancel;
        ~Detach()
        {
            if (cancel)
                cancel->Detach();
        }
    } detach{request.cancel};

    std::wstring headers;
    if (!request.contentType.empty())
        headers = L"Content-Type: " + ToWide(request.contentType) + L"\r\n";
    const DWORD bodySize = static_cast<DWORD>(request.body.size());
    const bool sent = handle.Run([&](HINTERNET h) {
        return WinHttpSendRequest(
            h, headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
            headers.empty() ? 0 : static_cast<DWORD>(-1L), WINHTTP_NO_REQUEST_DATA, 0, bodySize,
            handle.Context());
    });
    if (!sent || !handle.Query([&](HINTERNET h) { return ServerNamesHost(h, request.host); }) ||
        !SendBody(handle, request.body) ||
        !handle.Run([](HINTERNET h) { return WinHttpReceiveResponse(h, nullptr); })) {
        error = kRequestFailed;
        return false;
    }

    DWORD statusCode = 0;
    DWORD statusSize = sizeof statusCode;
    const bool haveStatus = handle.Query([&](HINTERNET h) {
        return WinHttpQueryHeaders(h, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                   WINHTTP_HEADER_NAME_BY_INDEX, &statusCode, &statusSize,
                                   WINHTTP_NO_HEADER_INDEX) != FALSE;
    });
    std::string body;
    if (!haveStatus || !ReadBody(handle, body)) {
        error = kRequestFailed;
        return false;
    }
    responseBody = std::move(body);
    status = statusCode;
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
    return Exchange(request, responseBody, status, error);
}

} // namespace postern
