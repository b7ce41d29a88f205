// The MIME writer: turns a message from the compose window into the exact
// bytes that are submitted over SMTP and stored in the sent folder. Fixed
// header set and order, non-ASCII header text as one RFC 2047 Base64 word,
// text as quoted-printable UTF-8 (plain, or plain and HTML as
// multipart/alternative), attachments in Base64 inside multipart/mixed.
// All line ends are CR LF.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

struct OutgoingAttachment {
    std::string filename; // UTF-8, without a directory
    std::string mimeType; // empty: guessed from the file name
    std::string data;     // the file's bytes
};

struct OutgoingMessage {
    std::string to;       // the To line as typed, addresses separated by commas
    std::string cc;       // empty for none
    std::string subject;
    std::string textBody; // LF or CR LF line ends
    std::string htmlBody; // empty for a plain-text message
    std::vector<OutgoingAttachment> attachments;
    std::string inReplyTo;  // Message-ID of the replied-to message, with brackets
    std::string references; // for replies; empty otherwise
};

// False when a value the sender typed would break a header line: a CR or LF
// in To, Cc, Subject, an attachment's name or media type, or the sender's
// name or address. Written as it stands, "b@x\r\n<evil@y>" would send to
// another address than the To line shows. The error names the field.
[[nodiscard]] bool CheckHeaderValues(std::string_view displayName, std::string_view address,
                                     const OutgoingMessage& message, std::string& error);

// What a submission needs: the message, dated now, and the envelope
// recipients from To and Cc. False, with CheckHeaderValues' error, when the
// message must not be sent at all.
[[nodiscard]] bool PrepareSubmission(std::string_view displayName, std::string_view address,
                                     const OutgoingMessage& message, std::string& text,
                                     std::vector<std::string>& recipients, std::string& error);

// The complete message, dated now.
[[nodiscard]] std::string BuildMessage(std::string_view displayName, std::string_view address,
                                       const OutgoingMessage& message);

// The same with a given Unix time for the Date header and the Message-ID.
[[nodiscard]] std::string BuildMessageAt(std::string_view displayName, std::string_view address,
                                         const OutgoingMessage& message, int64_t unixSeconds);

// "Tue, 8 Dec 2026 09:05:03 +0000".
[[nodiscard]] std::string FormatMessageDate(int64_t unixSeconds);

// The text unchanged when every byte is at most 126, none is CR or LF and
// it holds no "=?", else one "=?utf-8?B?...?=" word covering all of it.
[[nodiscard]] std::string EncodeHeaderWord(std::string_view text);

// Quoted-printable with CR LF line ends; output lines of at most 74
// characters before a soft break.
[[nodiscard]] std::string EncodeQuotedPrintable(std::string_view text);

// The media type for a file name's extension; "application/octet-stream"
// when unknown.
[[nodiscard]] std::string MimeTypeForName(std::string_view name);

// "=_Postern_<counter>_<n>_": "=_" cannot occur in quoted-printable or
// Base64 output, and n keeps two boundaries of one message apart.
[[nodiscard]] std::string MakeBoundary(int n);

} // namespace postern
