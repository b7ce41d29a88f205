// TEMPORARY stand-in.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>
namespace postern {
[[nodiscard]] inline std::u16string SafeAttachmentFileName(std::u16string_view s) { return s.empty() ? u"attachment.bin" : std::u16string(s); }
[[nodiscard]] inline bool WriteAttachmentFile(const std::filesystem::path&, std::string_view, std::string& e) { e = "x"; return false; }
}
