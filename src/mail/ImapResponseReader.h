// ImapResponseReader: turns the bytes an IMAP server sends into lines and
// responses (a line plus the literals it announces). It is a restartable
// step over its buffer: bytes are appended as they arrive, and each call
// answers "here is one", "need more bytes" or "failed", so a response split
// at any byte comes out the same as one read in a single piece.
//
// A hostile or broken server must not be able to exhaust memory: a line
// without a line feed may grow to kMaxLineBytes, a literal may announce at
// most kMaxLiteralBytes, and nothing is reserved from an announced size
// before the bytes are there.
#pragma once

#include "mail/ImapResponse.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace postern {

class ImapResponseReader {
public:
    // Far above any real response line (a long UID set, a big LIST name),
    // far below what would hurt.
    static constexpr size_t kMaxLineBytes = size_t{1} << 20;
    // Larger than any message a mail client should load into memory at once.
    static constexpr uint64_t kMaxLiteralBytes = uint64_t{256} << 20;

    enum class Result { Done, NeedMore, Failed };

    // Adds received bytes. While a literal is being collected they go
    // straight into it, so a large message body is copied only once.
    void Append(std::string_view bytes);

    // The next line without its LF and without one CR right before the LF.
    // Not to be called while a response is half read.
    [[nodiscard]] Result NextLine(std::string& line, std::string& error);

    // The next whole response. On NeedMore the partial response is kept and
    // the next call goes on from there; out is only written on Done.
    [[nodiscard]] Result NextResponse(ImapResponse& out, std::string& error);

    // True while a response has been started but not finished.
    [[nodiscard]] bool InResponse() const { return inResponse; }
    // Bytes received and not yet taken.
    [[nodiscard]] size_t Buffered() const { return rx.size() - pos; }
    void Clear();

private:
    // Literal marker at the end of a line segment: false when there is none,
    // true with size set; Failed is reported through error.
    enum class Marker { None, Literal, Bad };
    static Marker FindLiteralMarker(std::string_view segment, uint64_t& size, std::string& error);
    void Compact();

    std::string rx;        // received bytes; those before pos are consumed
    size_t pos = 0;
    size_t scanned = 0;    // bytes after pos already searched for LF

    bool inResponse = false;
    bool inLiteral = false;
    uint64_t literalLeft = 0;
    uint64_t literalTotal = 0; // all literal bytes of the current response
    ImapResponse partial;
};

} // namespace postern
