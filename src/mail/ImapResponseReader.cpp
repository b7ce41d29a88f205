#include "mail/ImapResponseReader.h"

#include <algorithm>
#include <cstring>

namespace postern {

namespace {

std::string SizeText(uint64_t value)
{
    return std::to_string(value);
}

} // namespace

void ImapResponseReader::Clear()
{
    rx.clear();
    pos = 0;
    scanned = 0;
    inResponse = false;
    inLiteral = false;
    literalLeft = 0;
    literalTotal = 0;
    partial = ImapResponse();
}

void ImapResponseReader::Compact()
{
    if (pos == rx.size()) {
        rx.clear();
        pos = 0;
    } else if (pos > 65536 && pos > rx.size() / 2) {
        rx.erase(0, pos);
        pos = 0;
    }
}

void ImapResponseReader::Append(std::string_view bytes)
{
    if (inLiteral && pos == rx.size() && literalLeft > 0) {
        const size_t direct = static_cast<size_t>(std::min<uint64_t>(literalLeft, bytes.size()));
        partial.literals.back().append(bytes.data(), direct);
        literalLeft -= direct;
        bytes.remove_prefix(direct);
    }
    if (!bytes.empty()) {
        Compact();
        rx.append(bytes.data(), bytes.size());
    }
}

ImapResponseReader::Result ImapResponseReader::NextLine(std::string& line, std::string& error)
{
    const char* begin = rx.data() + pos;
    const size_t available = rx.size() - pos;
    const void* lf = std::memchr(begin + scanned, '\n', available - scanned);
    if (!lf) {
        scanned = available;
        // One byte of slack for the CR that may precede the coming LF.
        if (available > kMaxLineBytes + 1) {
            error = "response line longer than 1 MiB without a line end";
            return Result::Failed;
        }
        return Result::NeedMore;
    }
    size_t length = static_cast<size_t>(static_cast<const char*>(lf) - begin);
    const size_t consumed = length + 1;
    if (length > 0 && begin[length - 1] == '\r')
        --length;
    if (length > kMaxLineBytes) {
        error = "response line longer than 1 MiB without a line end";
        return Result::Failed;
    }
    line.assign(begin, length);
    pos += consumed;
    scanned = 0;
    Compact();
    return Result::Done;
}

ImapResponseReader::Marker ImapResponseReader::FindLiteralMarker(std::string_view segment,
                                                                 uint64_t& size,
                                                                 std::string& error)
{
    if (segment.empty() || segment.back() != '}')
        return Marker::None;
    const size_t open = segment.rfind('{');
    if (open == std::string_view::npos)
        return Marker::None;
    const std::string_view digits = segment.substr(open + 1, segment.size() - open - 2);
    if (digits.empty())
        return Marker::None;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return Marker::None; // braces around something else: no literal
    }
    // Twenty digits may already overflow 64 bits; anything that long is no
    // size a server could mean.
    if (digits.size() > 19) {
        error = "literal size does not parse: {" + std::string(digits.substr(0, 40)) +
                (digits.size() > 40 ? "...}" : "}");
        return Marker::Bad;
    }
    uint64_t value = 0;
    for (char c : digits)
        value = value * 10 + static_cast<uint64_t>(c - '0');
    if (value > kMaxLiteralBytes) {
        error = "literal of " + SizeText(value) + " bytes exceeds the 256 MiB limit";
        return Marker::Bad;
    }
    size = value;
    return Marker::Literal;
}

ImapResponseReader::Result ImapResponseReader::NextResponse(ImapResponse& out, std::string& error)
{
    std::string segment;
    for (;;) {
        if (inLiteral) {
            if (literalLeft > 0) {
                const size_t take =
                    static_cast<size_t>(std::min<uint64_t>(literalLeft, rx.size() - pos));
                partial.literals.back().append(rx, pos, take);
                pos += take;
                literalLeft -= take;
                Compact();
                if (literalLeft > 0)
                    return Result::NeedMore;
            }
            inLiteral = false;
        }
        const Result got = NextLine(segment, error);
        if (got == Result::NeedMore)
            return got;
        if (got == Result::Failed) {
            Clear();
            return got;
        }
        if (partial.line.size() + segment.size() > kMaxLineBytes) {
            Clear();
            error = "response line longer than 1 MiB without a line end";
            return Result::Failed;
        }
        inResponse = true;
        partial.line += segment;
        uint64_t size = 0;
        const Marker marker = FindLiteralMarker(segment, size, error);
        if (marker == Marker::Bad) {
            Clear();
            return Result::Failed;
        }
        if (marker == Marker::None)
            break;
        literalTotal += size;
        if (literalTotal > kMaxLiteralBytes) {
            Clear();
            error = "literals of one response exceed the 256 MiB limit";
            return Result::Failed;
        }
        partial.literals.emplace_back();
        inLiteral = true;
        literalLeft = size;
    }
    out = std::move(partial);
    partial = ImapResponse();
    inResponse = false;
    literalTotal = 0;
    return Result::Done;
}

} // namespace postern
