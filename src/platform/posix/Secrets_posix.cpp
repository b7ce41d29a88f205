// Secrets sealed with AES-256-GCM under a per-user key file.
//
// The key lives beside the settings (protect.key, mode 0600). A blob is
// "PSG1" + 12-byte nonce + ciphertext + 16-byte tag, the magic bound in as
// additional data. A key file that others could read, or that another user
// owns, is refused rather than used: sealing under a key an attacker may
// hold would only pretend to protect.
#include "platform/Secrets.h"

#include "platform/Folders.h"
#include "platform/posix/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>

namespace postern {

namespace {

constexpr std::string_view kMagic = "PSG1";
constexpr std::size_t kKeySize = 32;
constexpr std::size_t kNonceSize = 12;
constexpr std::size_t kTagSize = 16;
constexpr std::size_t kOverhead = 4 + kNonceSize + kTagSize;
// Larger blobs are not secrets but a mistake; also keeps sizes within int.
constexpr std::size_t kMaxPlain = 256 * 1024 * 1024;

// Holds the key and wipes it when done.
struct Key {
    std::array<unsigned char, kKeySize> bytes{};
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
};

std::filesystem::path KeyPath()
{
    return RoamingDataFolder() / "Halvorsoft" / "Postern" / "protect.key";
}

bool ReadAllBytes(int fd, unsigned char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::read(fd, data + done, size - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Opens an existing key file; false when it is missing or must not be used.
// missing tells the two apart.
bool LoadKey(const std::filesystem::path& path, Key& key, bool& missing)
{
    missing = false;
    posix::UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!file.Valid()) {
        missing = errno == ENOENT;
        return false;
    }
    struct stat info{};
    if (::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & 077) != 0 || info.st_size != static_cast<off_t>(kKeySize))
        return false;
    return ReadAllBytes(file.Get(), key.bytes.data(), kKeySize);
}

bool CreateFolders(const std::filesystem::path& folder)
{
    std::error_code ignored;
    if (std::filesystem::is_directory(folder, ignored))
        return true;
    if (!CreateFolders(folder.parent_path()))
        return false;
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// Writes a fresh key under a temporary name and links it into place, so a
// second process racing to create the key cannot be overwritten: the loser
// of the race reads the winner's key.
bool CreateKey(const std::filesystem::path& path)
{
    if (!CreateFolders(path.parent_path()))
        return false;
    Key fresh;
    if (RAND_bytes(fresh.bytes.data(), static_cast<int>(kKeySize)) != 1)
        return false;
    std::string temporary = path.string() + ".tmp-XXXXXX";
    posix::UniqueFd file(mkostemp(temporary.data(), O_CLOEXEC)); // mode 0600
    if (!file.Valid())
        return false;
    bool written = ::write(file.Get(), fresh.bytes.data(), kKeySize) ==
                       static_cast<ssize_t>(kKeySize) &&
                   ::fsync(file.Get()) == 0;
    file.Reset();
    if (written)
        written = ::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST;
    ::unlink(temporary.c_str());
    return written;
}

bool GetKey(Key& key)
{
    const std::filesystem::path path = KeyPath();
    bool missing = false;
    if (LoadKey(path, key, missing))
        return true;
    if (!missing || !CreateKey(path))
        return false;
    return LoadKey(path, key, missing);
}

struct CipherContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextFree>;

} // namespace

bool ProtectBytes(std::string_view plain, std::string& blob)
{
    if (plain.size() > kMaxPlain)
        return false;
    Key key;
    if (!GetKey(key))
        return false;

    std::string out(kMagic);
    out.resize(kOverhead + plain.size(), '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    unsigned char* nonce = bytes + kMagic.size();
    unsigned char* cipherText = nonce + kNonceSize;
    unsigned char* tag = cipherText + plain.size();
    if (RAND_bytes(nonce, static_cast<int>(kNonceSize)) != 1)
        return false;

    CipherContext context(EVP_CIPHER_CTX_new());
    int length = 0;
    int finalLength = 0;
    if (!context ||
        EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes.data(), nonce) != 1 ||
        EVP_EncryptUpdate(context.get(), nullptr, &length,
                          reinterpret_cast<const unsigned char*>(kMagic.data()),
                          static_cast<int>(kMagic.size())) != 1 ||
        EVP_EncryptUpdate(context.get(), cipherText, &length,
                          reinterpret_cast<const unsigned char*>(plain.data()),
                          static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(context.get(), cipherText + length, &finalLength) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, static_cast<int>(kTagSize), tag) != 1)
        return false;
    blob = std::move(out);
    return true;
}

bool UnprotectBytes(std::string_view blob, std::string& plain)
{
    if (blob.size() < kOverhead || blob.substr(0, kMagic.size()) != kMagic ||
        blob.size() - kOverhead > kMaxPlain)
        return false;
    Key key;
    if (!GetKey(key))
        return false;

    const auto* bytes = reinterpret_cast<const unsigned char*>(blob.data());
    const unsigned char* nonce = bytes + kMagic.size();
    const unsigned char* cipherText = nonce + kNonceSize;
    const std::size_t cipherSize = blob.size() - kOverhead;
    std::array<unsigned char, kTagSize> tag{};
    std::copy(cipherText + cipherSize, cipherText + cipherSize + kTagSize, tag.begin());

    std::string out(cipherSize, '\0');
    auto* outBytes = reinterpret_cast<unsigned char*>(out.data());
    CipherContext context(EVP_CIPHER_CTX_new());
    int length = 0;
    int finalLength = 0;
    const bool opened =
        context &&
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, key.bytes.data(), nonce) == 1 &&
        EVP_DecryptUpdate(context.get(), nullptr, &length,
                          reinterpret_cast<const unsigned char*>(kMagic.data()),
                          static_cast<int>(kMagic.size())) == 1 &&
        EVP_DecryptUpdate(context.get(), outBytes, &length, cipherText,
                          static_cast<int>(cipherSize)) == 1 &&
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, static_cast<int>(kTagSize),
                            tag.data()) == 1 &&
        EVP_DecryptFinal_ex(context.get(), outBytes + length, &finalLength) == 1;
    if (!opened) {
        OPENSSL_cleanse(out.data(), out.size());
        return false;
    }
    plain = std::move(out);
    return true;
}

} // namespace postern
