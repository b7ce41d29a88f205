// Crash-safe whole-file writes: temporary file beside the target, flushed,
// then moved over the target in one step.
#include "platform/Files.h"

#include "platform/win32/WideText_win.h"

#include <windows.h>

#include <algorithm>

namespace postern {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE owned) : handle(owned) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle; }
    void Reset(HANDLE other)
    {
        Close();
        handle = other;
    }
    bool IsValid() const { return handle != INVALID_HANDLE_VALUE; }
    bool Close()
    {
        const bool closed = !IsValid() || CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle;
};

std::string WithCode(const std::string& text, DWORD code)
{
    return text + " (error " + std::to_string(code) + ")";
}

bool WriteAll(HANDLE file, std::string_view bytes)
{
    // WriteFile takes a DWORD count; a short write is retried with the rest.
    constexpr std::size_t kMaxPiece = 1u << 30;
    for (std::size_t offset = 0; offset < bytes.size();) {
        const DWORD piece = static_cast<DWORD>(std::min(bytes.size() - offset, kMaxPiece));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + offset, piece, &written, nullptr) || written == 0)
            return false;
        offset += written;
    }
    return true;
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string& error)
{
    const std::wstring target = path.native();
    if (target.empty() || !path.has_filename()) {
        error = "cannot write a file without a name";
        return false;
    }
    // A name no other writer uses: the process id and a try counter, with
    // CREATE_NEW so that an existing file is never taken over.
    const std::wstring prefix =
        target + L"." + std::to_wstring(GetCurrentProcessId()) + L".";
    std::wstring temporary;
    FileHandle file(INVALID_HANDLE_VALUE);
    DWORD lastError = 0;
    for (int attempt = 0; attempt < 100 && !file.IsValid(); ++attempt) {
        temporary = prefix + std::to_wstring(attempt) + L".tmp";
        file.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        lastError = GetLastError();
        if (!file.IsValid() && lastError != ERROR_FILE_EXISTS && lastError != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!file.IsValid()) {
        error = WithCode("cannot create a temporary file beside " + PathToUtf8(path), lastError);
        return false;
    }
    bool written = WriteAll(file.Get(), bytes);
    if (written)
        written = FlushFileBuffers(file.Get()) != FALSE;
    lastError = GetLastError();
    if (!file.Close() && written) {
        written = false;
        lastError = GetLastError();
    }
    if (!written) {
        DeleteFileW(temporary.c_str());
        error = WithCode("cannot write " + PathToUtf8(path), lastError);
        return false;
    }
    if (!MoveFileExW(temporary.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        lastError = GetLastError();
        DeleteFileW(temporary.c_str());
        error = WithCode("cannot replace " + PathToUtf8(path), lastError);
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::filesystem::path& path, std::string_view bytes, std::string& error)
{
    const std::wstring target = path.native();
    if (target.empty() || !path.has_filename()) {
        error = "cannot write a file without a name";
        return false;
    }
    FileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        error = WithCode("cannot create " + PathToUtf8(path), GetLastError());
        return false;
    }
    bool written = WriteAll(file.Get(), bytes);
    DWORD lastError = GetLastError();
    if (!file.Close() && written) {
        written = false;
        lastError = GetLastError();
    }
    if (!written) {
        DeleteFileW(target.c_str());
        error = WithCode("cannot write " + PathToUtf8(path), lastError);
        return false;
    }
    return true;
}

} // namespace postern
