// vlt_trust_ca.exe [--remove] CA.pem: adds the certificates of a PEM file to the machine's
// trusted roots of the Windows (Wine) installation it runs in, or takes them out again.
// scripts/wine-env runs it in the build's own Wine prefix so that the installer trusts the demo
// package server; nothing outside the prefix changes. The unattended walk takes the trust away
// for a while to see a server nobody vouches for refused.
#include <windows.h>
// after windows.h
#include <wincrypt.h>

#include <cstdio>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

int wmain(int argc, wchar_t** argv) {
  const bool remove = argc == 3 && std::wstring(argv[1]) == L"--remove";
  if (argc != 2 && !remove) {
    std::fputs("usage: vlt_trust_ca [--remove] CA.pem\n", stderr);
    return 2;
  }
  std::ifstream in(argv[argc - 1], std::ios::binary);
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
    bool done = CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                     CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()),
                                     &size, nullptr, nullptr);
    if (done && remove) {
      PCCERT_CONTEXT wanted = CertCreateCertificateContext(
          X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()), size);
      PCCERT_CONTEXT found = wanted == nullptr
                                 ? nullptr
                                 : CertFindCertificateInStore(root, X509_ASN_ENCODING, 0,
                                                              CERT_FIND_EXISTING, wanted, nullptr);
      // Not there is as good as taken out.
      done = wanted != nullptr && (found == nullptr || CertDeleteCertificateFromStore(found));
      // Wine keeps the store's certificates as registry keys named by their SHA-1, and does
      // not always write a deletion back: the key goes too.
      BYTE sha1[20];
      DWORD sha1_size = sizeof sha1;
      if (wanted != nullptr &&
          CertGetCertificateContextProperty(wanted, CERT_SHA1_HASH_PROP_ID, sha1, &sha1_size)) {
        std::wstring key = L"Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\";
        for (DWORD i = 0; i < sha1_size; ++i) {
          wchar_t hex[3];
          std::swprintf(hex, 3, L"%02X", sha1[i]);
          key += hex;
        }
        const LSTATUS r = RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
        done = done && (r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND);
      }
      if (wanted != nullptr) CertFreeCertificateContext(wanted);
    } else if (done) {
      done = CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(der.data()), size,
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    }
    if (!done) {
      std::fprintf(stderr, "vlt_trust_ca: cannot %s a certificate (%lu)\n",
                   remove ? "remove" : "add", GetLastError());
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
