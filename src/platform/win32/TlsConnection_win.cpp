// TlsConnection over Winsock and Schannel (SSPI). Wine's Schannel accepts any
// server certificate, and even on Windows the check below is the one place
// where private trust anchors are honoured, so every handshake ends with an
// explicit chain and host name check (CertificateCheck_win.cpp).
#include "platform/TlsConnection.h"

#include "platform/win32/CertificateCheck_win.h"
#include "platform/win32/WideText_win.h"
#include "platform/win32/WinsockStartup_win.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>
#include <subauth.h>
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <schannel.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>

namespace postern {

namespace {

constexpr ULONG kContextRequirements = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                       ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                       ISC_REQ_STREAM;
constexpr int kHandshakeChunk = 8192;
constexpr int kRecordChunk = 16384;

// Limits against a peer that never completes: a handshake takes a handful of
// flights and a certificate chain of some kilobytes; a TLS record is at most
// 16 KiB of payload plus its overhead.
constexpr int kMaxHandshakeRounds = 64;
constexpr std::size_t kMaxHandshakeInput = 1 << 20;
constexpr std::size_t kMaxPendingCipher = 1 << 18;
constexpr int kMaxRecordsWithoutData = 1024;

struct ContextBufferFree {
    void operator()(void* buffer) const { FreeContextBuffer(buffer); }
};
using ContextBuffer = std::unique_ptr<void, ContextBufferFree>;

struct CertificateFree {
    void operator()(const CERT_CONTEXT* certificate) const
    {
        CertFreeCertificateContext(certificate);
    }
};
using CertificateHandle = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct AddressListFree {
    void operator()(ADDRINFOW* list) const { FreeAddrInfoW(list); }
};

bool SendAll(SOCKET socket, const char* data, std::size_t size)
{
    while (size > 0) {
        const int piece = static_cast<int>(std::min<std::size_t>(size, INT_MAX));
        const int sent = send(socket, data, piece, 0);
        if (sent < 1)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

// One recv appended to into; returns recv's result and, on SOCKET_ERROR, the
// Winsock error taken before anything else can overwrite it.
int ReceiveAppend(SOCKET socket, std::string& into, int chunk, int& socketError)
{
    const std::size_t before = into.size();
    into.resize(before + static_cast<std::size_t>(chunk));
    const int received = recv(socket, into.data() + before, chunk, 0);
    socketError = received == SOCKET_ERROR ? WSAGetLastError() : 0;
    into.resize(before + static_cast<std::size_t>(std::max(received, 0)));
    return received;
}

void SetTimeout(SOCKET socket, int option, uint32_t milliseconds)
{
    // Winsock takes a DWORD of milliseconds here, not a timeval.
    const DWORD value = milliseconds;
    setsockopt(socket, SOL_SOCKET, option, reinterpret_cast<const char*>(&value), sizeof value);
}

} // namespace

struct TlsConnection::State {
    // Atomic because Abort reads it from another thread while the owner may
    // be connecting or closing.
    std::atomic<SOCKET> socket{INVALID_SOCKET};
    // Held by Abort around its shutdown and by Release around the close:
    // otherwise the owner could close the socket between Abort's read and
    // its shutdown, the handle value could be reused meanwhile, and Abort
    // would shut down another socket.
    std::mutex closing;
    bool tlsActive = false;
    CredHandle credentials{};
    CtxtHandle context{};
    bool haveCredentials = false;
    bool haveContext = false;
    unsigned long headerSize = 0;
    unsigned long trailerSize = 0;
    unsigned long maxMessage = 0;
    std::string cipherIn;
    std::string plainIn;
    std::string targetName;
    // The encoded server certificate that passed the check, so that a
    // renegotiation presenting another one is checked again.
    std::string verifiedCertificate;

    SOCKET Socket() const { return socket.load(); }
    bool RunHandshakeLoop(std::string input, std::string& error);
    bool CheckPeerCertificate(std::string& error);
    bool StartTls(const std::string& host, std::string& error);
    int Deliver(char* buffer, int capacity);
    void Release();
};

bool TlsConnection::State::RunHandshakeLoop(std::string input, std::string& error)
{
    const SOCKET s = Socket();
    int socketError = 0;
    for (int round = 0; round < kMaxHandshakeRounds; ++round) {
        if (input.empty() && ReceiveAppend(s, input, kHandshakeChunk, socketError) < 1) {
            error = "connection lost during TLS handshake";
            return false;
        }
        SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
        SecBuffer inBuffers[2]{};
        SecBuffer outBuffer{};
        ContextBuffer token;
        // Each incomplete turn adds at least one byte, and the input is capped.
        while (true) {
            if (input.size() > kMaxHandshakeInput) {
                error = "TLS handshake failed (the server sent too much handshake data)";
                return false;
            }
            inBuffers[0] = {static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN,
                            input.data()};
            inBuffers[1] = {0, SECBUFFER_EMPTY, nullptr};
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, inBuffers};
            outBuffer = {0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
            ULONG attributes = 0;
            TimeStamp expiry{};
            status = InitializeSecurityContextA(&credentials, &context, nullptr,
                                                kContextRequirements, 0, 0, &inDesc, 0, nullptr,
                                                &outDesc, &attributes, &expiry);
            token.reset(outBuffer.pvBuffer);
            if (status != SEC_E_INCOMPLETE_MESSAGE)
                break;
            if (ReceiveAppend(s, input, kHandshakeChunk, socketError) < 1) {
                error = "connection lost during TLS handshake";
                return false;
            }
        }
        // Alerts come as output tokens of failing calls too: send them first.
        if (token && outBuffer.cbBuffer > 0 &&
            !SendAll(s, static_cast<const char*>(outBuffer.pvBuffer), outBuffer.cbBuffer)) {
            error = "send failed during handshake";
            return false;
        }
        token.reset();
        if (inBuffers[1].BufferType == SECBUFFER_EXTRA && inBuffers[1].cbBuffer > 0) {
            const std::size_t extra = std::min<std::size_t>(inBuffers[1].cbBuffer, input.size());
            input.erase(0, input.size() - extra);
        } else {
            input.clear();
        }
        if (status == SEC_E_OK) {
            // Application data that came with the last handshake flight.
            cipherIn = std::move(input);
            return true;
        }
        if (status != SEC_I_CONTINUE_NEEDED) {
            error = HandshakeFailureText(static_cast<unsigned long>(status));
            return false;
        }
    }
    error = "TLS handshake failed (too many handshake rounds)";
    return false;
}

bool TlsConnection::State::CheckPeerCertificate(std::string& error)
{
    const CERT_CONTEXT* raw = nullptr;
    const SECURITY_STATUS status =
        QueryContextAttributesA(&context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw);
    const CertificateHandle certificate(raw);
    if (status != SEC_E_OK || !certificate) {
        error = HandshakeFailureText(
            static_cast<unsigned long>(status != SEC_E_OK ? status : SEC_E_CERT_UNKNOWN));
        return false;
    }
    const std::string encoded(reinterpret_cast<const char*>(certificate->pbCertEncoded),
                              certificate->cbCertEncoded);
    if (!verifiedCertificate.empty() && encoded == verifiedCertificate)
        return true;
    if (!VerifyServerCertificate(certificate.get(), targetName, error))
        return false;
    verifiedCertificate = encoded;
    return true;
}

int TlsConnection::State::Deliver(char* buffer, int capacity)
{
    const std::size_t count =
        std::min<std::size_t>(plainIn.size(), static_cast<std::size_t>(capacity));
    std::memcpy(buffer, plainIn.data(), count);
    plainIn.erase(0, count);
    return static_cast<int>(count);
}

void TlsConnection::State::Release()
{
    if (haveContext)
        DeleteSecurityContext(&context);
    if (haveCredentials)
        FreeCredentialsHandle(&credentials);
    haveContext = false;
    haveCredentials = false;
    {
        const std::lock_guard<std::mutex> lock(closing);
        const SOCKET old = socket.exchange(INVALID_SOCKET);
        if (old != INVALID_SOCKET)
            closesocket(old);
    }
    tlsActive = false;
    headerSize = trailerSize = maxMessage = 0;
    cipherIn.clear();
    plainIn.clear();
    targetName.clear();
    verifiedCertificate.clear();
}

TlsConnection::TlsConnection() : state(std::make_unique<State>()) {}

TlsConnection::~TlsConnection()
{
    Close();
}

TlsConnection::TlsConnection(TlsConnection&& other) noexcept = default;

TlsConnection& TlsConnection::operator=(TlsConnection&& other) noexcept
{
    if (this != &other) {
        Close();
        state = std::move(other.state);
    }
    return *this;
}

bool TlsConnection::Connect(const std::string& host, uint32_t port, uint32_t timeoutMs,
                            std::string& error)
{
    if (!EnsureWinsockStarted()) {
        error = "WSAStartup failed";
        return false;
    }
    if (!state)
        state = std::make_unique<State>();
    // A socket still held would leak and stale TLS state would garble the new
    // connection.
    state->Release();

    if (host.empty() || host.find('\0') != std::string::npos) {
        error = "DNS lookup failed for " + host;
        return false;
    }
    if (port > 65535) {
        error = "connect failed to " + host + ":" + std::to_string(port) + " (no such port)";
        return false;
    }
    ADDRINFOW hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    ADDRINFOW* rawList = nullptr;
    // The wide resolver, since the ANSI one would read a UTF-8 name in the
    // system code page.
    const int resolved = GetAddrInfoW(ToWide(host).c_str(), std::to_wstring(port).c_str(), &hints,
                                      &rawList);
    const std::unique_ptr<ADDRINFOW, AddressListFree> list(rawList);
    if (resolved != 0 || !list) {
        error = "DNS lookup failed for " + host;
        return false;
    }
    SOCKET connected = INVALID_SOCKET;
    for (const ADDRINFOW* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        const SOCKET candidate = socket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
        if (candidate == INVALID_SOCKET)
            continue;
        SetTimeout(candidate, SO_RCVTIMEO, timeoutMs);
        SetTimeout(candidate, SO_SNDTIMEO, timeoutMs);
        if (connect(candidate, entry->ai_addr, static_cast<int>(entry->ai_addrlen)) == 0) {
            connected = candidate;
            break;
        }
        closesocket(candidate);
    }
    if (connected == INVALID_SOCKET) {
        error = "connect failed to " + host + ":" + std::to_string(port);
        return false;
    }
    const BOOL noDelay = TRUE;
    setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof noDelay);
    state->socket.store(connected);
    return true;
}

bool TlsConnection::Handshake(const std::string& host, std::string& error)
{
    if (!state || state->Socket() == INVALID_SOCKET) {
        error = "not connected";
        return false;
    }
    // A second handshake would leak the first one's handles.
    if (state->haveCredentials || state->haveContext) {
        error = "TLS handshake already done on this connection";
        return false;
    }
    // A failed handshake ends the connection: nothing more may go over it,
    // least of all a password in plain text.
    if (!state->StartTls(host, error)) {
        state->Release();
        return false;
    }
    return true;
}

bool TlsConnection::State::StartTls(const std::string& host, std::string& error)
{
    targetName = host;
    verifiedCertificate.clear();

    SCH_CREDENTIALS schannelCredentials{};
    schannelCredentials.dwVersion = SCH_CREDENTIALS_VERSION;
    // The certificate is judged by our own check after the handshake, whose
    // name check both backends share: Schannel's would accept a certificate
    // by its common name, refuse IP-address names, and know nothing of the
    // extra trust anchors.
    schannelCredentials.dwFlags =
        SCH_CRED_NO_DEFAULT_CREDS | SCH_CRED_MANUAL_CRED_VALIDATION | SCH_USE_STRONG_CRYPTO;
    char package[] = UNISP_NAME_A;
    TimeStamp expiry{};
    const SECURITY_STATUS acquired =
        AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr,
                                  &schannelCredentials, nullptr, nullptr, &credentials, &expiry);
    if (acquired != SEC_E_OK) {
        char text[64];
        std::snprintf(text, sizeof text, "AcquireCredentialsHandle failed 0x%08lx",
                      static_cast<unsigned long>(acquired));
        error = text;
        return false;
    }
    haveCredentials = true;

    std::string target = host;
    SecBuffer outBuffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &outBuffer};
    ULONG attributes = 0;
    const SECURITY_STATUS first = InitializeSecurityContextA(
        &credentials, nullptr, target.data(), kContextRequirements, 0, 0, nullptr, 0, &context,
        &outDesc, &attributes, &expiry);
    ContextBuffer token(outBuffer.pvBuffer);
    if (first != SEC_I_CONTINUE_NEEDED) {
        error = "TLS handshake init failed";
        return false;
    }
    haveContext = true;
    if (!token ||
        !SendAll(Socket(), static_cast<const char*>(outBuffer.pvBuffer), outBuffer.cbBuffer)) {
        error = "send failed during handshake";
        return false;
    }
    token.reset();

    if (!RunHandshakeLoop(std::string(), error) || !CheckPeerCertificate(error))
        return false;

    SecPkgContext_StreamSizes sizes{};
    if (QueryContextAttributesA(&context, SECPKG_ATTR_STREAM_SIZES, &sizes) != SEC_E_OK ||
        sizes.cbMaximumMessage == 0) {
        error = "QueryContextAttributes failed";
        return false;
    }
    headerSize = sizes.cbHeader;
    trailerSize = sizes.cbTrailer;
    maxMessage = sizes.cbMaximumMessage;
    tlsActive = true;
    return true;
}

bool TlsConnection::Send(std::string_view data, std::string& error)
{
    if (data.empty())
        return true;
    if (!state || !state->tlsActive) {
        if (!state || !SendAll(state->Socket(), data.data(), data.size())) {
            error = "send failed";
            return false;
        }
        return true;
    }
    State& s = *state;
    std::string record;
    for (std::size_t offset = 0; offset < data.size();) {
        const std::size_t piece = std::min<std::size_t>(data.size() - offset, s.maxMessage);
        record.assign(s.headerSize + piece + s.trailerSize, '\0');
        std::memcpy(record.data() + s.headerSize, data.data() + offset, piece);
        SecBuffer buffers[4] = {
            {s.headerSize, SECBUFFER_STREAM_HEADER, record.data()},
            {static_cast<unsigned long>(piece), SECBUFFER_DATA, record.data() + s.headerSize},
            {s.trailerSize, SECBUFFER_STREAM_TRAILER, record.data() + s.headerSize + piece},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&s.context, 0, &desc, 0) != SEC_E_OK) {
            error = "EncryptMessage failed";
            return false;
        }
        const std::size_t total = std::size_t{buffers[0].cbBuffer} + buffers[1].cbBuffer +
                                  buffers[2].cbBuffer;
        if (total > record.size() || !SendAll(s.Socket(), record.data(), total)) {
            error = "send failed";
            return false;
        }
        offset += piece;
    }
    return true;
}

int TlsConnection::Receive(char* buffer, int capacity, std::string& error)
{
    if (buffer == nullptr || capacity < 1) {
        error = "receive buffer is empty";
        return -1;
    }
    if (!state) {
        error = "recv failed";
        return -1;
    }
    State& s = *state;
    if (!s.tlsActive) {
        const int received = recv(s.Socket(), buffer, capacity, 0);
        if (received != SOCKET_ERROR)
            return received;
        if (WSAGetLastError() == WSAETIMEDOUT)
            return -2;
        error = "recv failed";
        return -1;
    }
    if (!s.plainIn.empty())
        return s.Deliver(buffer, capacity);

    int recordsWithoutData = 0;
    // Each turn either decrypts a record (bounded by recordsWithoutData) or
    // reads more of one (bounded by kMaxPendingCipher).
    while (true) {
        SECURITY_STATUS status = SEC_E_INCOMPLETE_MESSAGE;
        if (!s.cipherIn.empty()) {
            SecBuffer buffers[4] = {
                {static_cast<unsigned long>(s.cipherIn.size()), SECBUFFER_DATA, s.cipherIn.data()},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            status = DecryptMessage(&s.context, &desc, 0, nullptr);
            if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
                std::size_t extra = 0;
                for (int i = 1; i < 4; ++i) {
                    if (buffers[i].BufferType == SECBUFFER_DATA && buffers[i].cbBuffer > 0)
                        s.plainIn.append(static_cast<const char*>(buffers[i].pvBuffer),
                                         buffers[i].cbBuffer);
                    else if (buffers[i].BufferType == SECBUFFER_EXTRA)
                        extra = buffers[i].cbBuffer;
                }
                // The unprocessed rest is always the tail of the input.
                extra = std::min(extra, s.cipherIn.size());
                s.cipherIn.erase(0, s.cipherIn.size() - extra);
                if (status == SEC_I_RENEGOTIATE) {
                    // Post-handshake messages (TLS 1.3 session tickets, a
                    // renegotiation) go back through the handshake loop.
                    std::string input = std::move(s.cipherIn);
                    s.cipherIn.clear();
                    if (!s.RunHandshakeLoop(std::move(input), error) ||
                        !s.CheckPeerCertificate(error))
                        return -1;
                }
                if (!s.plainIn.empty())
                    return s.Deliver(buffer, capacity);
                if (++recordsWithoutData > kMaxRecordsWithoutData) {
                    error = "DecryptMessage failed (too many records without data)";
                    return -1;
                }
                continue;
            }
            if (status == SEC_I_CONTEXT_EXPIRED)
                return 0;
            if (status != SEC_E_INCOMPLETE_MESSAGE) {
                error = "DecryptMessage failed";
                return -1;
            }
            if (s.cipherIn.size() > kMaxPendingCipher) {
                error = "DecryptMessage failed (record too large)";
                return -1;
            }
        }
        int socketError = 0;
        const int received = ReceiveAppend(s.Socket(), s.cipherIn, kRecordChunk, socketError);
        if (received == 0)
            return 0;
        if (received == SOCKET_ERROR) {
            if (socketError == WSAETIMEDOUT)
                return -2;
            error = "connection lost";
            return -1;
        }
    }
}

void TlsConnection::SetReceiveTimeout(uint32_t milliseconds)
{
    if (state && state->Socket() != INVALID_SOCKET)
        SetTimeout(state->Socket(), SO_RCVTIMEO, milliseconds);
}

void TlsConnection::Abort()
{
    if (!state)
        return;
    const std::lock_guard<std::mutex> lock(state->closing);
    const SOCKET s = state->Socket();
    if (s != INVALID_SOCKET)
        shutdown(s, SD_BOTH);
}

void TlsConnection::Close()
{
    if (state)
        state->Release();
}

bool TlsConnection::IsConnected() const
{
    return state && state->Socket() != INVALID_SOCKET;
}

bool TlsConnection::IsTlsActive() const
{
    return state && state->tlsActive;
}

} // namespace postern
