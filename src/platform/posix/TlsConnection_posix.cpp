// TlsConnection over BSD sockets and OpenSSL 3.
//
// OpenSSL talks to the socket through a small BIO of our own instead of the
// stock socket BIO, for two reasons: send() with MSG_NOSIGNAL, so a peer
// that vanishes cannot kill the process with SIGPIPE (no process-wide signal
// disposition is changed), and a record of what the socket did last, which
// is the only reliable way to tell a receive time-out (keep the connection)
// from a closed or broken one once OpenSSL has folded both into its own
// error codes.
#include "platform/TlsConnection.h"

#include "platform/CertificateNames.h"
#include "platform/TrustAnchors.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>

namespace postern {

namespace {

// The largest plaintext TLS allows in one record.
constexpr int kMaxRecordPlaintext = 16384;

// What the socket did during the last OpenSSL call.
struct SocketIo {
    int fd = -1;
    bool timedOut = false;    // a read or write hit the socket time-out
    bool closed = false;      // recv returned 0: the peer ended the stream
    bool readFailed = false;  // recv failed for another reason
    bool writeFailed = false; // send failed (time-out or error)

    void ResetFlags()
    {
        timedOut = false;
        closed = false;
        readFailed = false;
        writeFailed = false;
    }
};

int SocketBioWrite(BIO* bio, const char* data, int length)
{
    auto* io = static_cast<SocketIo*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t sent = ::send(io->fd, data, static_cast<size_t>(length), MSG_NOSIGNAL);
        if (sent >= 0)
            return static_cast<int>(sent);
        if (errno == EINTR)
            continue;
        // A write time-out is a failure: half a record may have gone out,
        // so the stream cannot be resumed.
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            io->timedOut = true;
        io->writeFailed = true;
        return -1;
    }
}

int SocketBioRead(BIO* bio, char* data, int length)
{
    auto* io = static_cast<SocketIo*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    for (;;) {
        const ssize_t got = ::recv(io->fd, data, static_cast<size_t>(length), 0);
        if (got > 0)
            return static_cast<int>(got);
        if (got == 0) {
            io->closed = true;
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // SO_RCVTIMEO elapsed. Reported as "retry" so that OpenSSL keeps
            // any partial record and the next SSL_read continues from it.
            io->timedOut = true;
            BIO_set_retry_read(bio);
        } else {
            io->readFailed = true;
        }
        return -1;
    }
}

long SocketBioCtrl(BIO* bio, int command, long /*number*/, void* /*pointer*/)
{
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return static_cast<SocketIo*>(BIO_get_data(bio))->closed ? 1 : 0;
    default:
        return 0;
    }
}

BIO_METHOD* SocketBioMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "postern socket");
        if (m) {
            BIO_meth_set_write(m, SocketBioWrite);
            BIO_meth_set_read(m, SocketBioRead);
            BIO_meth_set_ctrl(m, SocketBioCtrl);
        }
        return m;
    }();
    return method;
}

void AddAnchors(X509_STORE* store, const std::string& pem)
{
    if (pem.empty())
        return;
    BIO* source = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
    if (!source)
        return;
    while (X509* certificate = PEM_read_bio_X509(source, nullptr, nullptr, nullptr)) {
        X509_STORE_add_cert(store, certificate); // a duplicate is harmless
        X509_free(certificate);
    }
    BIO_free(source);
    // Reading stops with a "no start line" error at the end of the text.
    ERR_clear_error();
}

// One client context per set of trust anchors, shared by all connections:
// loading the system's CA bundle for every connection would cost more than
// the handshake. The caller owns one reference to the result.
SSL_CTX* AcquireClientContext()
{
    static std::mutex mutex;
    static SSL_CTX* cached = nullptr;
    static std::string cachedAnchors;

    const std::lock_guard<std::mutex> lock(mutex);
    const std::string& anchors = ExtraTrustAnchors();
    if (!cached || cachedAnchors != anchors) {
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (!context)
            return nullptr;
        SSL_CTX_set_default_verify_paths(context);
        AddAnchors(SSL_CTX_get_cert_store(context), anchors);
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
        // An EOF without close_notify counts as an orderly close, as a plain
        // recv() of 0 does; mail protocols frame their own data.
        SSL_CTX_set_options(context, SSL_OP_IGNORE_UNEXPECTED_EOF);
        if (cached)
            SSL_CTX_free(cached);
        cached = context;
        cachedAnchors = anchors;
    }
    SSL_CTX_up_ref(cached);
    return cached;
}

// The subjectAltName entries of the server's certificate. A certificate
// with the extension twice, or a broken one, yields none.
CertificateNames PeerCertificateNames(SSL* ssl)
{
    CertificateNames names;
    X509* certificate = SSL_get0_peer_certificate(ssl);
    if (!certificate)
        return names;
    auto* entries = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    if (!entries)
        return names;
    for (int i = 0; i < sk_GENERAL_NAME_num(entries); ++i) {
        const GENERAL_NAME* entry = sk_GENERAL_NAME_value(entries, i);
        const ASN1_STRING* text = entry->type == GEN_DNS     ? entry->d.dNSName
                                  : entry->type == GEN_IPADD ? entry->d.iPAddress
                                                             : nullptr;
        if (!text)
            continue;
        std::string value(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                          static_cast<std::size_t>(ASN1_STRING_length(text)));
        (entry->type == GEN_DNS ? names.dnsNames : names.ipAddresses).push_back(std::move(value));
    }
    GENERAL_NAMES_free(entries);
    return names;
}

timeval ToTimeval(uint32_t milliseconds)
{
    timeval value{};
    value.tv_sec = static_cast<time_t>(milliseconds / 1000);
    value.tv_usec = static_cast<suseconds_t>((milliseconds % 1000) * 1000);
    return value;
}

std::string HandshakeFailureText(unsigned long code)
{
    char text[80];
    std::snprintf(text, sizeof text, "TLS handshake failed 0x%08lx (certificate or protocol error)",
                  code);
    return text;
}

} // namespace

struct TlsConnection::State {
    // Atomic because Abort may read it from another thread.
    std::atomic<int> fd{-1};
    // Held by Abort around its shutdown and by Release around the close:
    // otherwise the owner could close the descriptor between Abort's read
    // and its shutdown, the number could be reused by a file or socket
    // opened meanwhile, and Abort would shut down that one instead.
    std::mutex closing;
    SocketIo io;
    SSL_CTX* context = nullptr;
    SSL* ssl = nullptr;
    bool tlsActive = false;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() { Release(); }

    bool StartTls(const std::string& host, std::string& error);

    void Release()
    {
        if (ssl) {
            SSL_free(ssl); // also frees the BIO; sends nothing
            ssl = nullptr;
        }
        if (context) {
            SSL_CTX_free(context);
            context = nullptr;
        }
        {
            const std::lock_guard<std::mutex> lock(closing);
            const int old = fd.exchange(-1);
            if (old >= 0)
                ::close(old);
        }
        io = SocketIo{};
        tlsActive = false;
    }
};

TlsConnection::TlsConnection() : state(std::make_unique<State>()) {}
TlsConnection::~TlsConnection() = default;
TlsConnection::TlsConnection(TlsConnection&& other) noexcept = default;
TlsConnection& TlsConnection::operator=(TlsConnection&& other) noexcept = default;

bool TlsConnection::Connect(const std::string& host, uint32_t port, uint32_t timeoutMs,
                            std::string& error)
{
    if (!state)
        state = std::make_unique<State>();
    // A socket still held here would otherwise leak: release it first.
    state->Release();

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* addresses = nullptr;
    const std::string service = std::to_string(port);
    if (host.find('\0') != std::string::npos ||
        getaddrinfo(host.c_str(), service.c_str(), &hints, &addresses) != 0 || !addresses) {
        error = "DNS lookup failed for " + host;
        return false;
    }

    const timeval timeout = ToTimeval(timeoutMs);
    int connected = -1;
    for (const addrinfo* entry = addresses; entry && connected < 0; entry = entry->ai_next) {
        const int fd = ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC,
                                entry->ai_protocol);
        if (fd < 0)
            continue;
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        if (::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0)
            connected = fd;
        else
            ::close(fd);
    }
    freeaddrinfo(addresses);

    if (connected < 0) {
        error = "connect failed to " + host + ":" + std::to_string(port);
        return false;
    }
    const int one = 1;
    setsockopt(connected, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    state->fd = connected;
    state->io.fd = connected;
    return true;
}

bool TlsConnection::Handshake(const std::string& host, std::string& error)
{
    if (!state || state->fd < 0) {
        error = "not connected";
        return false;
    }
    if (state->tlsActive || state->ssl) {
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
    ERR_clear_error();
    context = AcquireClientContext();
    BIO_METHOD* method = SocketBioMethod();
    if (!context || !method) {
        error = HandshakeFailureText(ERR_peek_last_error());
        return false;
    }
    ssl = SSL_new(context);
    BIO* bio = ssl ? BIO_new(method) : nullptr;
    if (!bio) {
        error = HandshakeFailureText(ERR_peek_last_error());
        return false;
    }
    BIO_set_data(bio, &io);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl, bio, bio);

    // OpenSSL checks the chain; whether it names host is decided after the
    // handshake by the check both backends share (OpenSSL's own would accept
    // a certificate by its common name). No SNI for addresses (RFC 6066).
    std::string address;
    if (host.empty() || host.find('\0') != std::string::npos ||
        (!ParseIpLiteral(host, address) &&
         SSL_set_tlsext_host_name(ssl, host.c_str()) != 1)) {
        error = HandshakeFailureText(X509_V_ERR_HOSTNAME_MISMATCH);
        return false;
    }

    io.ResetFlags();
    ERR_clear_error();
    const int result = SSL_connect(ssl);
    if (result == 1) {
        if (!CertificateNamesHost(PeerCertificateNames(ssl), host)) {
            error = HandshakeFailureText(address.empty() ? X509_V_ERR_HOSTNAME_MISMATCH
                                                         : X509_V_ERR_IP_ADDRESS_MISMATCH);
            return false;
        }
        tlsActive = true;
        return true;
    }
    const long verifyResult = SSL_get_verify_result(ssl);
    if (verifyResult != X509_V_OK) {
        error = HandshakeFailureText(static_cast<unsigned long>(verifyResult));
    } else if (io.closed || io.timedOut || io.readFailed) {
        error = "connection lost during TLS handshake";
    } else if (io.writeFailed) {
        error = "send failed during handshake";
    } else {
        unsigned long code = ERR_peek_last_error();
        if (code == 0)
            code = static_cast<unsigned long>(SSL_get_error(ssl, result));
        error = HandshakeFailureText(code);
    }
    return false;
}

bool TlsConnection::Send(std::string_view data, std::string& error)
{
    if (data.empty())
        return true;
    if (!state || state->fd < 0) {
        error = "send failed";
        return false;
    }
    if (!state->tlsActive) {
        while (!data.empty()) {
            const ssize_t sent = ::send(state->fd, data.data(), data.size(), MSG_NOSIGNAL);
            if (sent < 0 && errno == EINTR)
                continue;
            if (sent < 1) {
                error = "send failed";
                return false;
            }
            data.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }
    while (!data.empty()) {
        const int piece =
            static_cast<int>(std::min<size_t>(data.size(), static_cast<size_t>(kMaxRecordPlaintext)));
        state->io.ResetFlags();
        ERR_clear_error();
        // Without SSL_MODE_ENABLE_PARTIAL_WRITE a successful SSL_write has
        // written all of the piece.
        const int written = SSL_write(state->ssl, data.data(), piece);
        if (written <= 0) {
            const bool socketFault = state->io.writeFailed || state->io.readFailed ||
                                     state->io.closed || state->io.timedOut;
            error = socketFault ? "send failed" : "EncryptMessage failed";
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

int TlsConnection::Receive(char* buffer, int capacity, std::string& error)
{
    if (!state || state->fd < 0) {
        error = "not connected";
        return -1;
    }
    if (!buffer || capacity <= 0) {
        error = "no room to receive into";
        return -1;
    }
    if (!state->tlsActive) {
        for (;;) {
            const ssize_t got = ::recv(state->fd, buffer, static_cast<size_t>(capacity), 0);
            if (got >= 0)
                return static_cast<int>(got);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return -2;
            error = "recv failed";
            return -1;
        }
    }

    state->io.ResetFlags();
    ERR_clear_error();
    const int got = SSL_read(state->ssl, buffer, capacity);
    if (got > 0)
        return got;
    switch (SSL_get_error(state->ssl, got)) {
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
    case SSL_ERROR_SYSCALL:
        if (state->io.timedOut && !state->io.writeFailed)
            return -2;
        if (state->io.closed)
            return 0;
        error = "connection lost";
        return -1;
    default:
        if (state->io.closed)
            return 0;
        if (state->io.readFailed || state->io.writeFailed) {
            error = "connection lost";
            return -1;
        }
        error = "DecryptMessage failed";
        return -1;
    }
}

void TlsConnection::SetReceiveTimeout(uint32_t milliseconds)
{
    if (!state || state->fd < 0)
        return;
    const timeval timeout = ToTimeval(milliseconds);
    setsockopt(state->fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
}

void TlsConnection::Abort()
{
    if (!state)
        return;
    const std::lock_guard<std::mutex> lock(state->closing);
    const int fd = state->fd.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void TlsConnection::Close()
{
    if (state)
        state->Release();
}

bool TlsConnection::IsConnected() const
{
    return state && state->fd >= 0;
}

bool TlsConnection::IsTlsActive() const
{
    return state && state->tlsActive;
}

} // namespace postern
