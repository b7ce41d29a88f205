// Random bytes and SHA-256 from CNG.
#include "platform/Crypto.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <climits>

namespace postern {

namespace {

// CNG calls take ULONG sizes; larger inputs go in pieces.
constexpr std::size_t kMaxPiece = ULONG_MAX;

bool IsSuccess(NTSTATUS status)
{
    return status >= 0;
}

// The SHA-256 provider, opened once: opening a provider is the expensive part
// of CNG, and the handle may be shared by threads.
class Sha256Provider {
public:
    Sha256Provider()
    {
        if (!IsSuccess(BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
            handle = nullptr;
    }
    ~Sha256Provider()
    {
        if (handle != nullptr)
            BCryptCloseAlgorithmProvider(handle, 0);
    }
    Sha256Provider(const Sha256Provider&) = delete;
    Sha256Provider& operator=(const Sha256Provider&) = delete;

    BCRYPT_ALG_HANDLE Get() const { return handle; }

private:
    BCRYPT_ALG_HANDLE handle = nullptr;
};

class HashHandle {
public:
    HashHandle() = default;
    ~HashHandle()
    {
        if (handle != nullptr)
            BCryptDestroyHash(handle);
    }
    HashHandle(const HashHandle&) = delete;
    HashHandle& operator=(const HashHandle&) = delete;

    BCRYPT_HASH_HANDLE* Out() { return &handle; }
    BCRYPT_HASH_HANDLE Get() const { return handle; }

private:
    BCRYPT_HASH_HANDLE handle = nullptr;
};

} // namespace

bool RandomBytes(std::size_t count, std::string& out)
{
    out.assign(count, '\0');
    for (std::size_t offset = 0; offset < count;) {
        const std::size_t piece = std::min(count - offset, kMaxPiece);
        if (!IsSuccess(BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(out.data() + offset),
                                       static_cast<ULONG>(piece),
                                       BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
            out.clear();
            return false;
        }
        offset += piece;
    }
    return true;
}

std::string Sha256(std::string_view data)
{
    static const Sha256Provider provider;
    if (provider.Get() == nullptr)
        return std::string();
    HashHandle hash;
    if (!IsSuccess(BCryptCreateHash(provider.Get(), hash.Out(), nullptr, 0, nullptr, 0, 0)))
        return std::string();
    for (std::size_t offset = 0; offset < data.size();) {
        const std::size_t piece = std::min(data.size() - offset, kMaxPiece);
        // BCryptHashData does not write to its input; the parameter just
        // lacks const.
        auto* bytes = reinterpret_cast<PUCHAR>(const_cast<char*>(data.data() + offset));
        if (!IsSuccess(BCryptHashData(hash.Get(), bytes, static_cast<ULONG>(piece), 0)))
            return std::string();
        offset += piece;
    }
    std::string digest(32, '\0');
    if (!IsSuccess(BCryptFinishHash(hash.Get(), reinterpret_cast<PUCHAR>(digest.data()),
                                    static_cast<ULONG>(digest.size()), 0)))
        return std::string();
    return digest;
}

} // namespace postern
