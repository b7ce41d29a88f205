// add-root-ca: puts a DER certificate into the LocalMachine "Root" store.
//
// WinHTTP trusts only the machine's roots, so HTTPS tests under Wine need the
// per-run test CA there. Run it inside a throwaway Wine prefix:
//     wine add-root-ca.exe Z:\path\to\ca.der
// Under Wine no prompt appears; on Windows it needs administrator rights.
// Removing the certificate again does not work under Wine: discard the
// prefix instead.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: add-root-ca CERTIFICATE.der\n");
        return 2;
    }
    std::ifstream in(std::filesystem::path(argv[1]), std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "add-root-ca: cannot open %ls\n", argv[1]);
        return 1;
    }
    const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (der.empty()) {
        std::fprintf(stderr, "add-root-ca: %ls is empty\n", argv[1]);
        return 1;
    }
    HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                     CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (store == nullptr) {
        std::fprintf(stderr, "add-root-ca: cannot open the LocalMachine Root store (error %lu)\n",
                     GetLastError());
        return 1;
    }
    const BOOL added = CertAddEncodedCertificateToStore(
        store, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    const DWORD error = added ? 0 : GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        std::fprintf(stderr, "add-root-ca: %ls is not a DER certificate (error 0x%08lx)\n",
                     argv[1], error);
        return 1;
    }
    return 0;
}
