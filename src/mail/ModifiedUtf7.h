// IMAP's modified UTF-7 for mailbox names (RFC 3501, 5.1.3): printable ASCII
// stands for itself, "&-" for "&", and anything else is UTF-16 in a variant
// of Base64 ("," for "/") between "&" and "-". Names travel to and from the
// server encoded; only what is shown to the user is decoded.
#pragma once

#include <string>
#include <string_view>

namespace postern {

// Decodes a mailbox name to UTF-16. False with a text naming the fault on
// bytes outside printable ASCII, an unterminated or malformed "&...-" run,
// or unpaired surrogates; out is then unspecified.
[[nodiscard]] bool DecodeModifiedUtf7(std::string_view name, std::u16string& out, std::string& error);

// What a folder is called on screen: the decoded name, or, for a server
// that sends raw UTF-8 instead, the name read as UTF-8.
[[nodiscard]] std::u16string MailboxDisplayName(std::string_view name);

// Encodes a UTF-8 name for the server. False on ill-formed UTF-8.
[[nodiscard]] bool EncodeModifiedUtf7(std::string_view utf8, std::string& out, std::string& error);

} // namespace postern
