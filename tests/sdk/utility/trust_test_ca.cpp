// Adds a certificate authority (a DER file) to the Root store of the system it runs on: for the TLS tests,
// run only inside a build tree's own Wine prefix (tools/nginx/test_ca.py), never on a real machine.
//   trust_test_ca.exe CA.der
// Exit code 0 when the authority is in the store (also when it already was), 1 otherwise.
#include <windows.h>
#include <shellapi.h>
#include <wincrypt.h>

#include <cstdio>
#include <vector>

int main()
{
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv == nullptr || argc != 2) {
        std::fprintf(stderr, "usage: trust_test_ca.exe CA.der\n");
        return 2;
    }
    const HANDLE hFile = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        std::printf("cannot open the certificate (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::vector<BYTE> der(1 << 16);
    DWORD nRead = 0;
    const BOOL bRead = ::ReadFile(hFile, der.data(), static_cast<DWORD>(der.size()), &nRead, nullptr);
    ::CloseHandle(hFile);
    if (!bRead || nRead == 0 || nRead == der.size()) {
        std::printf("cannot read the certificate\n");
        return 1;
    }
    if (!::CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), nRead)) {
        std::printf("CertAddEncodedCertificateToSystemStore failed (error 0x%lx)\n", ::GetLastError());
        return 1;
    }
    std::printf("trusted\n");
    return 0;
}
