// Whole-file reads and crash-safe whole-file writes. Every file the program
// writes goes through WriteFileAtomically: the bytes go to a temporary file in
// the same folder, are flushed to disk, and then replace the old file in one
// step, so a crash or a full disk leaves either the old or the new file whole.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace postern {

// Paths to and from UTF-8 text (a Windows path is UTF-16 underneath).
[[nodiscard]] std::filesystem::path PathFromUtf8(std::string_view utf8);
[[nodiscard]] std::string PathToUtf8(const std::filesystem::path& path);

[[nodiscard]] bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes,
                                 std::string& error);

[[nodiscard]] bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                                       std::string& error);

// Creates the file at exactly this path, or truncates the one there, and
// writes bytes: for files the user names (a saved attachment), where a
// temporary file beside the target would be a stray file of ours in the
// user's folder. Windows opens it without sharing. When writing fails, the
// partly written file is removed.
[[nodiscard]] bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes,
                                  std::string& error);

} // namespace postern
