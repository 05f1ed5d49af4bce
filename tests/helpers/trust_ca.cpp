// vlt_trust_ca.exe CA.pem: adds the certificates of a PEM file to the machine's trusted roots of
// the Windows (Wine) installation it runs in. scripts/wine-env runs it in the build's own Wine
// prefix so that the installer trusts the demo package server; nothing outside the prefix
// changes.
#include <windows.h>
// after windows.h
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fputs("usage: vlt_trust_ca CA.pem\n", stderr);
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string pem((std::istreambuf_iterator<char>(in)), {});
  HCERTSTORE root =
      CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (root == nullptr) {
    std::fprintf(stderr, "vlt_trust_ca: cannot open the Root store (%lu)\n", GetLastError());
    return 1;
  }
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  int added = 0;
  for (size_t at = pem.find(begin); at != std::string::npos; at = pem.find(begin, at)) {
    const size_t stop = pem.find(end, at);
    if (stop == std::string::npos) break;
    const std::string block = pem.substr(at, stop + end.size() - at);
    at = stop;
    DWORD size = 0;
    CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()), CRYPT_STRING_BASE64HEADER,
                         nullptr, &size, nullptr, nullptr);
    std::string der(size, '\0');
    if (!CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                              CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()), &size,
                              nullptr, nullptr) ||
        !CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                          reinterpret_cast<const BYTE*>(der.data()), size,
                                          CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
      std::fprintf(stderr, "vlt_trust_ca: cannot add a certificate (%lu)\n", GetLastError());
      CertCloseStore(root, 0);
      return 1;
    }
    ++added;
  }
  CertCloseStore(root, 0);
  if (added == 0) {
    std::fputs("vlt_trust_ca: no certificate in the file\n", stderr);
    return 1;
  }
  return 0;
}
