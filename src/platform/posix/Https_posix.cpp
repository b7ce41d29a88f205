// HTTPS requests over the project's own TlsConnection: one HTTP/1.1 request
// per connection ("Connection: close"), the body framed by Content-Length,
// chunked transfer coding, or the end of the connection.
#include "platform/Https.h"
#include "platform/AsciiText.h"

#include "platform/TlsConnection.h"

#include <cstddef>
#include <string_view>

namespace postern {

namespace {

constexpr const char* kFailureText = "HTTPS request failed (network or TLS error)";

// Limits that keep a hostile or broken server from exhausting memory.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr std::size_t kMaxBodyBytes = 16 * 1024 * 1024;
// Servers may answer with several interim (1xx) responses first.
constexpr int kMaxInterimResponses = 8;

bool HasControlCharacters(std::string_view text)
{
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f)
            return true;
    }
    return false;
}

bool ParseDecimal(std::string_view text, std::size_t& value)
{
    if (text.empty() || text.size() > 12)
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<std::size_t>(c - '0');
    }
    return true;
}

bool ParseHex(std::string_view text, std::size_t& value)
{
    if (text.empty() || text.size() > 8)
        return false;
    value = 0;
    for (const char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value * 16 + static_cast<std::size_t>(digit);
    }
    return true;
}

// Bytes from the connection, read as the parser needs them.
class ResponseReader {
public:
    explicit ResponseReader(TlsConnection& connection) : connection(connection) {}

    // Reads more bytes; false on error, time-out or the peer's close.
    bool Fill()
    {
        char chunk[16384];
        std::string ignored;
        const int got = connection.Receive(chunk, static_cast<int>(sizeof chunk), ignored);
        if (got <= 0) {
            closed = got == 0;
            return false;
        }
        pending.append(chunk, static_cast<std::size_t>(got));
        return true;
    }

    // One line without its CR LF (a bare LF is accepted too).
    bool ReadLine(std::string& line, std::size_t limit)
    {
        for (;;) {
            const std::size_t end = pending.find('\n', scanned);
            if (end != std::string::npos) {
                line.assign(pending, 0, end);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                pending.erase(0, end + 1);
                scanned = 0;
                return true;
            }
            scanned = pending.size();
            if (pending.size() > limit || !Fill())
                return false;
        }
    }

    // Moves exactly count bytes to out.
    bool ReadExactly(std::size_t count, std::string& out)
    {
        while (pending.size() < count) {
            if (!Fill())
                return false;
        }
        out.append(pending, 0, count);
        pending.erase(0, count);
        scanned = 0;
        return true;
    }

    // Moves everything up to the peer's close to out; false on an error or
    // when the limit is passed.
    bool ReadToClose(std::string& out, std::size_t limit)
    {
        for (;;) {
            out += pending;
            pending.clear();
            scanned = 0;
            if (out.size() > limit)
                return false;
            if (!Fill())
                return closed;
        }
    }

private:
    TlsConnection& connection;
    std::string pending;
    std::size_t scanned = 0; // bytes of pending known to hold no line end
    bool closed = false;
};

struct ResponseHead {
    uint32_t status = 0;
    bool chunked = false;
    bool hasLength = false;
    std::size_t contentLength = 0;
};

bool ReadHead(ResponseReader& reader, ResponseHead& head)
{
    std::string line;
    std::size_t headerBytes = 0;
    if (!reader.ReadLine(line, kMaxHeaderBytes))
        return false;
    // "HTTP/1.1 200 OK"
    if (line.size() < 12 || line.compare(0, 7, "HTTP/1.") != 0 || line[8] != ' ')
        return false;
    std::size_t status = 0;
    if (!ParseDecimal(std::string_view(line).substr(9, 3), status) || status < 100 ||
        (line.size() > 12 && line[12] != ' '))
        return false;
    head = ResponseHead{};
    head.status = static_cast<uint32_t>(status);
    headerBytes += line.size();

    for (;;) {
        if (!reader.ReadLine(line, kMaxHeaderBytes))
            return false;
        headerBytes += line.size() + 2;
        if (headerBytes > kMaxHeaderBytes)
            return false;
        if (line.empty())
            return true;
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue; // not a header; tolerated as browsers do
        const std::string_view name = TrimAsciiSpace(std::string_view(line).substr(0, colon));
        const std::string_view value = TrimAsciiSpace(std::string_view(line).substr(colon + 1));
        if (EqualsIgnoringAsciiCase(name, "transfer-encoding")) {
            // Chunked must be the last coding applied.
            const std::size_t comma = value.rfind(',');
            const std::string_view last =
                TrimAsciiSpace(comma == std::string_view::npos ? value : value.substr(comma + 1));
            head.chunked = EqualsIgnoringAsciiCase(last, "chunked");
        } else if (EqualsIgnoringAsciiCase(name, "content-length")) {
            std::size_t length = 0;
            // Differing lengths are a classic smuggling vector: refuse them.
            if (!ParseDecimal(value, length) || (head.hasLength && length != head.contentLength))
                return false;
            head.hasLength = true;
            head.contentLength = length;
        }
    }
}

bool ReadChunkedBody(ResponseReader& reader, std::string& body)
{
    std::string line;
    for (;;) {
        if (!reader.ReadLine(line, kMaxHeaderBytes))
            return false;
        std::string_view sizeText = line;
        const std::size_t extension = sizeText.find(';');
        if (extension != std::string_view::npos)
            sizeText = sizeText.substr(0, extension);
        std::size_t size = 0;
        if (!ParseHex(TrimAsciiSpace(sizeText), size))
            return false;
        if (size == 0)
            break;
        if (body.size() + size > kMaxBodyBytes)
            return false;
        if (!reader.ReadExactly(size, body) || !reader.ReadLine(line, 2) || !line.empty())
            return false;
    }
    // Trailer fields up to the empty line; their content is not needed.
    std::size_t trailerBytes = 0;
    for (;;) {
        if (!reader.ReadLine(line, kMaxHeaderBytes))
            return false;
        trailerBytes += line.size() + 2;
        if (trailerBytes > kMaxHeaderBytes)
            return false;
        if (line.empty())
            return true;
    }
}

std::string BuildRequest(const HttpsExchange& request)
{
    std::string hostHeader = request.host.find(':') != std::string::npos
                                 ? "[" + request.host + "]" // IPv6 literal
                                 : request.host;
    if (request.port != 443)
        hostHeader += ":" + std::to_string(request.port);

    std::string text = request.verb + " " + request.path + " HTTP/1.1\r\n";
    text += "Host: " + hostHeader + "\r\n";
    text += "User-Agent: Postern/1.0\r\n";
    text += "Connection: close\r\n";
    if (!request.contentType.empty())
        text += "Content-Type: " + request.contentType + "\r\n";
    const bool sendsBody = !request.body.empty() || request.verb == "POST" ||
                           request.verb == "PUT" || request.verb == "PATCH";
    if (sendsBody)
        text += "Content-Length: " + std::to_string(request.body.size()) + "\r\n";
    text += "\r\n";
    text += request.body;
    return text;
}

bool Exchange(const HttpsExchange& request, std::string& responseBody, uint32_t& status)
{
    // Text that would end up inside the request head must not be able to
    // add header lines of its own.
    if (request.host.empty() || request.verb.empty() || request.path.empty() ||
        HasControlCharacters(request.host) || HasControlCharacters(request.verb) ||
        HasControlCharacters(request.path) || HasControlCharacters(request.contentType) ||
        request.verb.find(' ') != std::string::npos || request.path.find(' ') != std::string::npos)
        return false;

    TlsConnection connection;
    // A cancel from another thread aborts the connection, which ends any
    // wait on it at once; Stop-like callers repeat it until the request has
    // ended, which covers the moment before the socket exists.
    if (request.cancel && !request.cancel->Attach([&connection] { connection.Abort(); }))
        return false;
    struct Detach {
        HttpsCancel* cancel;
        ~Detach()
        {
            if (cancel)
                cancel->Detach();
        }
    } detach{request.cancel};
    std::string ignored;
    if (!connection.Connect(request.host, request.port, request.timeoutMs, ignored) ||
        !connection.Handshake(request.host, ignored) ||
        !connection.Send(BuildRequest(request), ignored))
        return false;

    ResponseReader reader(connection);
    ResponseHead head;
    int interim = 0;
    do {
        if (!ReadHead(reader, head) || ++interim > kMaxInterimResponses + 1)
            return false;
    } while (head.status >= 100 && head.status < 200 && head.status != 101);

    std::string body;
    const bool noBody = request.verb == "HEAD" || head.status == 204 || head.status == 304 ||
                        head.status == 101;
    if (!noBody) {
        if (head.chunked) {
            if (!ReadChunkedBody(reader, body))
                return false;
        } else if (head.hasLength) {
            if (head.contentLength > kMaxBodyBytes || !reader.ReadExactly(head.contentLength, body))
                return false;
        } else if (!reader.ReadToClose(body, kMaxBodyBytes)) {
            return false;
        }
    }
    connection.Close();
    responseBody = std::move(body);
    status = head.status;
    return true;
}

} // namespace

bool PerformHttps(const HttpsExchange& request, std::string& responseBody, uint32_t& status,
                  std::string& error)
{
    if (!Exchange(request, responseBody, status)) {
        error = kFailureText;
        return false;
    }
    return true;
}

} // namespace postern
