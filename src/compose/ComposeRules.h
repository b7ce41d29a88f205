// The compose window's rules, apart from its window: which word of an
// address field completion looks up and what accepting a suggestion leaves
// in the field, which attachments are too large or of a type that mail
// providers block, and what the status line then says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace postern {

// The part of an address field that completion looks up: the text after
// its last comma, without surrounding spaces and tabs.
[[nodiscard]] std::u16string CompletionToken(std::u16string_view field);

// The field after accepting a suggestion: its text up to and including the
// last comma, then the suggestion and ", " for the next address.
[[nodiscard]] std::u16string AcceptCompletion(std::u16string_view field, std::u16string_view display);

// 25 MiB: the largest file attached; exactly this size is accepted.
inline constexpr uint64_t kMaxAttachmentBytes = 25ull * 1024 * 1024;
inline constexpr char16_t kAttachmentTooLargeText[] = u"Attachment skipped (over 25 MB).";

// A name whose extension (after its last dot, any letter case) is one of
// the types mail providers refuse to carry: programs, scripts, installers,
// shortcuts and disk images.
[[nodiscard]] bool IsBlockedAttachmentName(std::string_view utf8Name);

// The status line's warning for the blocked ones among `names` (UTF-8), or
// empty when none is.
[[nodiscard]] std::u16string BlockedAttachmentsWarning(const std::vector<std::string>& names);

// "Attached 1 file." / "Attached 3 files."
[[nodiscard]] std::u16string AttachedFilesText(size_t count);

} // namespace postern
