// Secrets sealed with DPAPI for the current user.
#include "platform/Secrets.h"

#include <windows.h>
#include <dpapi.h>

#include <memory>

namespace postern {

namespace {

struct LocalMemoryFree {
    void operator()(BYTE* memory) const { LocalFree(memory); }
};
using LocalBytes = std::unique_ptr<BYTE, LocalMemoryFree>;

bool FitsBlob(std::string_view bytes)
{
    return bytes.size() <= MAXDWORD;
}

DATA_BLOB InputBlob(std::string_view bytes)
{
    // DPAPI reads the input only; the structure simply has no const member.
    return DATA_BLOB{static_cast<DWORD>(bytes.size()),
                     reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

} // namespace

bool ProtectBytes(std::string_view plain, std::string& blob)
{
    blob.clear();
    if (!FitsBlob(plain))
        return false;
    DATA_BLOB input = InputBlob(plain);
    DATA_BLOB output{};
    // User scope (no CRYPTPROTECT_LOCAL_MACHINE); never a prompt: the
    // program runs this on worker threads.
    if (!CryptProtectData(&input, L"Postern", nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &output))
        return false;
    const LocalBytes owned(output.pbData);
    blob.assign(reinterpret_cast<const char*>(output.pbData), output.cbData);
    return true;
}

bool UnprotectBytes(std::string_view blob, std::string& plain)
{
    plain.clear();
    if (blob.empty() || !FitsBlob(blob))
        return false;
    DATA_BLOB input = InputBlob(blob);
    DATA_BLOB output{};
    if (!CryptUnprotectData(&input, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                            &output))
        return false;
    const LocalBytes owned(output.pbData);
    plain.assign(reinterpret_cast<const char*>(output.pbData), output.cbData);
    // The plain text lives on in the caller's string only.
    SecureZeroMemory(output.pbData, output.cbData);
    return true;
}

} // namespace postern
