// Saving an attachment, without the dialog: the file name offered to the
// user and the write of the decoded bytes. The name comes from the mail, so
// it is hostile input: it must not reach outside the folder the user picks,
// name a device, or hide its real extension.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace postern {

// Longest name offered, in UTF-16 units: well inside MAX_PATH together with
// a folder, and within every file system's 255-unit limit.
inline constexpr std::size_t kMaxAttachmentNameLength = 200;

// The name the save dialog offers for an attachment whose file name (as the
// message gives it, decoded) is `suggested`:
//  - only what follows the last '/' or '\';
//  - control characters, the characters Windows forbids (<>:"/\|?*),
//    unpaired surrogates and the bidirectional controls that could make
//    "invoice<RLO>fdp.exe" read as "invoice" + "exe.pdf" become '_';
//  - no trailing dots or spaces (Windows drops them; ".." becomes empty);
//  - a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$, CONOUT$,
//    also with an extension such as "con.txt", in any case) gets a '_' in
//    front;
//  - at most kMaxAttachmentNameLength units, cut before the extension and
//    never inside a surrogate pair;
//  - an empty result is "attachment.bin".
[[nodiscard]] std::u16string SafeAttachmentFileName(std::u16string_view suggested);

// Creates (or truncates) the file at exactly `path` and writes the bytes.
[[nodiscard]] bool WriteAttachmentFile(const std::filesystem::path& path, std::string_view bytes,
                                       std::string& error);

} // namespace postern
