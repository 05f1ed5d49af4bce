// TLS on Windows: the system's security package (SSPI/SChannel) for the protocol, and the
// certificate checks done here with the system's chain engine: credentials are validated
// manually, because not every SChannel checks anything when asked to (Wine's does not).
#define SECURITY_WIN32
#include <windows.h>
// after windows.h
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/dynamic_library.h"
#include "platform/files.h"
#include "platform/sockets.h"
#include "platform/tls.h"
#include "platform/unique_resource.h"
#include "platform/win_text.h"

namespace vlt::platform {

namespace {

struct SspiApi : EntryPointTable {
  EntryPoint<decltype(::AcquireCredentialsHandleW)> AcquireCredentialsHandleW{
      *this, "AcquireCredentialsHandleW"};
  EntryPoint<decltype(::InitializeSecurityContextW)> InitializeSecurityContextW{
      *this, "InitializeSecurityContextW"};
  EntryPoint<decltype(::DeleteSecurityContext)> DeleteSecurityContext{*this,
                                                                      "DeleteSecurityContext"};
  EntryPoint<decltype(::FreeCredentialsHandle)> FreeCredentialsHandle{*this,
                                                                      "FreeCredentialsHandle"};
  EntryPoint<decltype(::FreeContextBuffer)> FreeContextBuffer{*this, "FreeContextBuffer"};
  EntryPoint<decltype(::QueryContextAttributesW)> QueryContextAttributesW{
      *this, "QueryContextAttributesW"};
  EntryPoint<decltype(::EncryptMessage)> EncryptMessage{*this, "EncryptMessage"};
  EntryPoint<decltype(::DecryptMessage)> DecryptMessage{*this, "DecryptMessage"};
  EntryPoint<decltype(::ApplyControlToken)> ApplyControlToken{*this, "ApplyControlToken"};
};

struct Crypt32Api : EntryPointTable {
  EntryPoint<decltype(::CertOpenStore)> CertOpenStore{*this, "CertOpenStore"};
  EntryPoint<decltype(::CertCloseStore)> CertCloseStore{*this, "CertCloseStore"};
  EntryPoint<decltype(::CertAddEncodedCertificateToStore)> CertAddEncodedCertificateToStore{
      *this, "CertAddEncodedCertificateToStore"};
  EntryPoint<decltype(::CertAddCertificateContextToStore)> CertAddCertificateContextToStore{
      *this, "CertAddCertificateContextToStore"};
  EntryPoint<decltype(::CertEnumCertificatesInStore)> CertEnumCertificatesInStore{
      *this, "CertEnumCertificatesInStore"};
  EntryPoint<decltype(::CertFreeCertificateContext)> CertFreeCertificateContext{
      *this, "CertFreeCertificateContext"};
  EntryPoint<decltype(::CertGetCertificateChain)> CertGetCertificateChain{
      *this, "CertGetCertificateChain"};
  EntryPoint<decltype(::CertFreeCertificateChain)> CertFreeCertificateChain{
      *this, "CertFreeCertificateChain"};
  EntryPoint<decltype(::CertVerifyCertificateChainPolicy)> CertVerifyCertificateChainPolicy{
      *this, "CertVerifyCertificateChainPolicy"};
  EntryPoint<decltype(::CryptStringToBinaryA)> CryptStringToBinaryA{*this, "CryptStringToBinaryA"};
  EntryPoint<decltype(::CertFindExtension)> CertFindExtension{*this, "CertFindExtension"};
  EntryPoint<decltype(::CryptDecodeObjectEx)> CryptDecodeObjectEx{*this, "CryptDecodeObjectEx"};
  EntryPoint<decltype(::CertGetNameStringW)> CertGetNameStringW{*this, "CertGetNameStringW"};
  EntryPoint<decltype(::CertNameToStrW)> CertNameToStrW{*this, "CertNameToStrW"};
  EntryPoint<decltype(::CertGetPublicKeyLength)> CertGetPublicKeyLength{*this,
                                                                        "CertGetPublicKeyLength"};
};

struct Libraries {
  BoundLibrary<SspiApi> sspi;
  BoundLibrary<Crypt32Api> crypt32;
  std::string error;
};

// Loaded once, on the first secure connection, and kept for the life of the program.
Libraries& Libs() {
  static Libraries* libs = [] {
    auto* l = new Libraries;
    if (!l->sspi.Load("secur32.dll"))
      l->error = l->sspi.ErrorText();
    else if (!l->crypt32.Load("crypt32.dll"))
      l->error = l->crypt32.ErrorText();
    return l;
  }();
  return *libs;
}

Libraries* Apis(std::string& error) {
  Libraries& libs = Libs();
  if (!libs.error.empty()) {
    error = "the system's TLS cannot be used: " + libs.error;
    return nullptr;
  }
  return &libs;
}

// Owners of what the security package and the certificate functions hand out. They free it
// through the libraries, which a session loaded before it could be handed anything.
struct CertContextTraits {
  using Type = PCCERT_CONTEXT;
  static Type Invalid() { return nullptr; }
  static void Close(Type c) { Libs().crypt32.Api().CertFreeCertificateContext(c); }
};
struct CertStoreTraits {
  using Type = HCERTSTORE;
  static Type Invalid() { return nullptr; }
  static void Close(Type s) { Libs().crypt32.Api().CertCloseStore(s, 0); }
};
struct CertChainTraits {
  using Type = PCCERT_CHAIN_CONTEXT;
  static Type Invalid() { return nullptr; }
  static void Close(Type c) { Libs().crypt32.Api().CertFreeCertificateChain(c); }
};
struct ContextBufferTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static void Close(Type b) { Libs().sspi.Api().FreeContextBuffer(b); }
};
// What CryptDecodeObjectEx allocates for the caller.
struct LocalBufferTraits {
  using Type = void*;
  static Type Invalid() { return nullptr; }
  static void Close(Type b) { LocalFree(b); }
};
using CertContext = UniqueResource<CertContextTraits>;
using CertStore = UniqueResource<CertStoreTraits>;
using CertChain = UniqueResource<CertChainTraits>;
using ContextBuffer = UniqueResource<ContextBufferTraits>;
using LocalBuffer = UniqueResource<LocalBufferTraits>;

constexpr unsigned char kAlertRecord = 21;

constexpr DWORD kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                           ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                           ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;

#ifndef SP_PROT_TLS1_3_CLIENT
#define SP_PROT_TLS1_3_CLIENT 0x00002000
#endif

std::string StatusText(SECURITY_STATUS status) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(status));
  std::string text = SystemErrorMessage(static_cast<unsigned long>(status));
  return text.empty() ? std::string(hex) : text + " (" + hex + ")";
}

// The DER blocks of every "BEGIN CERTIFICATE" in a PEM file.
bool ReadPemCertificates(const Crypt32Api& api, const std::string& path,
                         std::vector<std::string>& ders, std::string& error) {
  std::string pem;
  if (!ReadWholeFile(path, 4 << 20, pem, error)) {
    error = "cannot read the CA file " + path + ": " + error;
    return false;
  }
  static const std::string kBegin = "-----BEGIN CERTIFICATE-----";
  static const std::string kEnd = "-----END CERTIFICATE-----";
  for (std::size_t at = pem.find(kBegin); at != std::string::npos; at = pem.find(kBegin, at)) {
    const std::size_t end = pem.find(kEnd, at);
    if (end == std::string::npos) break;
    const std::string block = pem.substr(at, end + kEnd.size() - at);
    at = end;
    DWORD size = 0;
    if (!api.CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                  CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr))
      continue;
    std::string der(size, '\0');
    if (api.CryptStringToBinaryA(block.c_str(), static_cast<DWORD>(block.size()),
                                 CRYPT_STRING_BASE64HEADER, reinterpret_cast<BYTE*>(der.data()),
                                 &size, nullptr, nullptr)) {
      der.resize(size);
      ders.push_back(std::move(der));
    }
  }
  if (ders.empty()) {
    error = "the CA file " + path + " holds no certificate";
    return false;
  }
  return true;
}

std::string Der(PCCERT_CONTEXT cert) {
  return std::string(reinterpret_cast<const char*>(cert->pbCertEncoded), cert->cbCertEncoded);
}

std::string Oid(LPCSTR oid) {
  return oid != nullptr ? oid : "";
}

// The size of a public key in bits: an EC key is a point of the curve, whose coordinates are as
// long as the curve's field (04 X Y uncompressed, 02/03 X compressed).
int KeyBits(const Crypt32Api& api, const CERT_PUBLIC_KEY_INFO& key) {
  if (Oid(key.Algorithm.pszObjId) == szOID_ECC_PUBLIC_KEY) {
    const DWORD n = key.PublicKey.cbData;
    if (n < 2) return 0;
    return static_cast<int>(key.PublicKey.pbData[0] == 4 ? (n - 1) / 2 * 8 : (n - 1) * 8);
  }
  return static_cast<int>(
      api.CertGetPublicKeyLength(X509_ASN_ENCODING, const_cast<CERT_PUBLIC_KEY_INFO*>(&key)));
}

std::string TimeText(const FILETIME& t) {
  SYSTEMTIME s{};
  if (!FileTimeToSystemTime(&t, &s)) return {};
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u GMT", s.wYear, s.wMonth, s.wDay,
                s.wHour, s.wMinute, s.wSecond);
  return text;
}

class SchannelClient final : public TlsClient {
 public:
  SchannelClient(Libraries& libs, const TlsOptions& o)
      : sspi_(libs.sspi.Api()), crypt_(libs.crypt32.Api()), host_(o.host) {}

  ~SchannelClient() override {
    if (have_context_) sspi_.DeleteSecurityContext(&context_);
    if (have_cred_) sspi_.FreeCredentialsHandle(&cred_);
  }

  bool Init(const TlsOptions& o, std::string& error) {
    if (!o.ca_file.empty() && !ReadPemCertificates(crypt_, o.ca_file, ca_, error)) return false;
    SCHANNEL_CRED cred{};
    cred.dwVersion = SCHANNEL_CRED_VERSION;
    if (o.versions & kTls10) cred.grbitEnabledProtocols |= SP_PROT_TLS1_0_CLIENT;
    if (o.versions & kTls11) cred.grbitEnabledProtocols |= SP_PROT_TLS1_1_CLIENT;
    if (o.versions & kTls12) cred.grbitEnabledProtocols |= SP_PROT_TLS1_2_CLIENT;
    if (o.versions & kTls13) cred.grbitEnabledProtocols |= SP_PROT_TLS1_3_CLIENT;
    if (cred.grbitEnabledProtocols == 0) {
      error = "no TLS version is allowed";
      return false;
    }
    // The checks are ours, after the handshake; no client certificate is ever offered.
    cred.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
    wchar_t package[] = UNISP_NAME_W;
    TimeStamp expiry{};
    const SECURITY_STATUS s = sspi_.AcquireCredentialsHandleW(
        nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &cred, nullptr, nullptr, &cred_, &expiry);
    if (s != SEC_E_OK) {
      error = "the system's TLS refused the settings: " + StatusText(s);
      return false;
    }
    have_cred_ = true;
    if (!IsAddressText(host_)) target_ = Widen(host_);  // the name goes out as SNI
    return true;
  }

  Status Handshake(std::string& in, std::string& out) override {
    for (;;) {
      SecBuffer in_buffers[2] = {};
      in_buffers[0].BufferType = SECBUFFER_TOKEN;
      in_buffers[0].pvBuffer = in.data();
      in_buffers[0].cbBuffer = static_cast<unsigned long>(in.size());
      in_buffers[1].BufferType = SECBUFFER_EMPTY;
      SecBufferDesc in_desc{SECBUFFER_VERSION, 2, in_buffers};
      SecBuffer out_buffers[2] = {};
      out_buffers[0].BufferType = SECBUFFER_TOKEN;
      out_buffers[1].BufferType = SECBUFFER_ALERT;
      SecBufferDesc out_desc{SECBUFFER_VERSION, 2, out_buffers};
      if (!have_context_ && !in.empty())
        return Fail("TLS: data from " + host_ + " before the handshake");
      ULONG attributes = 0;
      TimeStamp expiry{};
      const SECURITY_STATUS s = sspi_.InitializeSecurityContextW(
          &cred_, have_context_ ? &context_ : nullptr, target_.empty() ? nullptr : target_.data(),
          kRequest, 0, 0, have_context_ ? &in_desc : nullptr, 0, &context_, &out_desc, &attributes,
          &expiry);
      if (!have_context_ && (s == SEC_I_CONTINUE_NEEDED || s == SEC_E_OK)) have_context_ = true;
      for (SecBuffer& b : out_buffers) {
        const ContextBuffer owned(b.pvBuffer);
        if (owned && b.BufferType == SECBUFFER_TOKEN && b.cbBuffer > 0)
          out.append(static_cast<const char*>(b.pvBuffer), b.cbBuffer);
      }
      if (s == SEC_E_INCOMPLETE_MESSAGE) return Status::kNeedInput;
      if (s == SEC_I_CONTINUE_NEEDED || s == SEC_E_OK || s == SEC_I_INCOMPLETE_CREDENTIALS) {
        KeepExtra(in, in_buffers[1]);
        if (s == SEC_E_OK) return Finish();
        if (s == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // asked for a client certificate
        if (in.empty()) return Status::kNeedInput;
        continue;
      }
      if (have_context_ && RefusedCertificate()) return Status::kFailed;
      return Fail("TLS handshake with " + host_ + " failed: " + StatusText(s));
    }
  }

  Status Decrypt(std::string& in, std::string& plain, std::string& out) override {
    std::size_t at = 0;  // what was taken from `in`, removed once at the end
    Status status = Status::kOk;
    while (at < in.size()) {
      SecBuffer b[4] = {};
      b[0].BufferType = SECBUFFER_DATA;
      b[0].pvBuffer = in.data() + at;
      b[0].cbBuffer = static_cast<unsigned long>(in.size() - at);
      for (int i = 1; i < 4; ++i) b[i].BufferType = SECBUFFER_EMPTY;
      SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
      const unsigned char type = static_cast<unsigned char>(in[at]);  // the record's header
      const SECURITY_STATUS s = sspi_.DecryptMessage(&context_, &desc, 0, nullptr);
      if (s == SEC_E_INCOMPLETE_MESSAGE) break;
      if (s != SEC_E_OK && s != SEC_I_RENEGOTIATE && s != SEC_I_CONTEXT_EXPIRED) {
        status = Fail("TLS error from " + host_ + ": " + StatusText(s));
        break;
      }
      std::size_t extra = 0, data = 0;
      for (const SecBuffer& x : b) {
        if (x.BufferType == SECBUFFER_DATA && x.cbBuffer > 0) {
          plain.append(static_cast<const char*>(x.pvBuffer), x.cbBuffer);
          data += x.cbBuffer;
        }
        if (x.BufferType == SECBUFFER_EXTRA) extra = x.cbBuffer;
      }
      at = in.size() - extra;
      // Some SChannels (Wine's) take the peer's close_notify without saying so: an alert
      // record that yields nothing. After the handshake every alert but close_notify ends
      // the session too, so either way nothing more will come.
      if (s == SEC_I_CONTEXT_EXPIRED || (s == SEC_E_OK && data == 0 && type == kAlertRecord)) {
        status = Status::kClosed;
        break;
      }
      if (s == SEC_I_RENEGOTIATE) {
        // A message of the handshake protocol after the handshake (a TLS 1.3 ticket or key
        // update): the security package takes it through its handshake call.
        std::string rest = in.substr(at);
        const Status h = Handshake(rest, out);
        if (h == Status::kFailed) {
          status = h;
          break;
        }
        in.replace(at, std::string::npos, rest);
      }
    }
    in.erase(0, at);
    return status;
  }

  bool Encrypt(const void* data, std::size_t length, std::string& out) override {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      const std::size_t n = std::min<std::size_t>(length, sizes_.cbMaximumMessage);
      const std::size_t had = out.size();
      out.resize(had + sizes_.cbHeader + n + sizes_.cbTrailer);
      char* record = out.data() + had;
      std::memcpy(record + sizes_.cbHeader, p, n);
      SecBuffer b[4] = {};
      b[0] = {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record};
      b[1] = {static_cast<unsigned long>(n), SECBUFFER_DATA, record + sizes_.cbHeader};
      b[2] = {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes_.cbHeader + n};
      b[3].BufferType = SECBUFFER_EMPTY;
      SecBufferDesc desc{SECBUFFER_VERSION, 4, b};
      const SECURITY_STATUS s = sspi_.EncryptMessage(&context_, 0, &desc, 0);
      if (s != SEC_E_OK) {
        out.resize(had);
        error_ = "TLS error: " + StatusText(s);
        return false;
      }
      out.resize(had + b[0].cbBuffer + b[1].cbBuffer + b[2].cbBuffer);
      p += n;
      length -= n;
    }
    return true;
  }

  void CloseNotify(std::string& out) override {
    if (!have_context_) return;
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer token{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc token_desc{SECBUFFER_VERSION, 1, &token};
    if (sspi_.ApplyControlToken(&context_, &token_desc) != SEC_E_OK) return;
    SecBuffer o{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out_desc{SECBUFFER_VERSION, 1, &o};
    ULONG attributes = 0;
    TimeStamp expiry{};
    const SECURITY_STATUS s = sspi_.InitializeSecurityContextW(
        &cred_, &context_, target_.empty() ? nullptr : target_.data(), kRequest, 0, 0, nullptr, 0,
        &context_, &out_desc, &attributes, &expiry);
    const ContextBuffer owned(o.pvBuffer);
    if ((s == SEC_E_OK || s == SEC_I_CONTEXT_EXPIRED) && owned)
      out.append(static_cast<const char*>(o.pvBuffer), o.cbBuffer);
  }

  TlsPeerInfo Info() const override { return info_; }

 private:
  // What the call did not take stays at the end of `in`.
  static void KeepExtra(std::string& in, const SecBuffer& extra) {
    if (extra.BufferType == SECBUFFER_EXTRA && extra.cbBuffer > 0 && extra.cbBuffer <= in.size())
      in.erase(0, in.size() - extra.cbBuffer);
    else
      in.clear();
  }

  Status Finish() {
    SECURITY_STATUS s = sspi_.QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_);
    if (s != SEC_E_OK) return Fail("TLS: " + StatusText(s));
    CertContext cert;
    s = sspi_.QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, cert.Put());
    if (s != SEC_E_OK || !cert) return FailCertificate(CertProblem::kBadChain, host_);
    const Status checked = Check(cert.Get());
    if (checked == Status::kOk) Describe(cert.Get());
    return checked;
  }

  // A handshake the security package broke off may already hold the server's certificate
  // (Wine's stops at a key usage that does not allow the handshake): when the checks here
  // refuse it, that is the reason to give.
  bool RefusedCertificate() {
    CertContext cert;
    if (sspi_.QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, cert.Put()) !=
            SEC_E_OK ||
        !cert)
      return false;
    return Check(cert.Get()) == Status::kFailed && problem_ != CertProblem::kCertOk;
  }

  Status Check(PCCERT_CONTEXT cert) {
    // The certificates the server sent and the CA file, where the chain engine looks beside
    // the system's stores.
    const CertStore extra(
        crypt_.CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, CERT_STORE_CREATE_NEW_FLAG, nullptr));
    if (!extra) return FailCertificate(CertProblem::kBadChain, host_);
    for (const std::string& der : ca_)
      crypt_.CertAddEncodedCertificateToStore(extra.Get(), X509_ASN_ENCODING | PKCS_7_ASN_ENCODING,
                                              reinterpret_cast<const BYTE*>(der.data()),
                                              static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_USE_EXISTING, nullptr);
    if (cert->hCertStore != nullptr) {
      // Each call frees the context it was given; the last returns none.
      PCCERT_CONTEXT c = nullptr;
      while ((c = crypt_.CertEnumCertificatesInStore(cert->hCertStore, c)) != nullptr)
        crypt_.CertAddCertificateContextToStore(extra.Get(), c, CERT_STORE_ADD_USE_EXISTING,
                                                nullptr);
    }
    LPSTR usages[] = {const_cast<LPSTR>(szOID_PKIX_KP_SERVER_AUTH)};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    CertChain chain;
    const BOOL built = crypt_.CertGetCertificateChain(nullptr, cert, nullptr, extra.Get(), &para, 0,
                                                      nullptr, chain.Put());
    if (!built || !chain || chain.Get()->cChain == 0 || chain.Get()->rgpChain[0]->cElement == 0)
      return FailCertificate(CertProblem::kBadChain, host_);
    return Judge(cert, chain.Get());
  }

  Status Judge(PCCERT_CONTEXT cert, PCCERT_CHAIN_CONTEXT chain) {
    const CERT_SIMPLE_CHAIN* simple = chain->rgpChain[0];
    PCCERT_CONTEXT root = simple->rgpElement[simple->cElement - 1]->pCertContext;
    DWORD errors = chain->TrustStatus.dwErrorStatus;
    // Revocation cannot be asked of anyone offline in a shop; it is not what is checked here.
    errors &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                  CERT_TRUST_IS_OFFLINE_REVOCATION);
    bool root_from_file = false;
    if (errors & CERT_TRUST_IS_UNTRUSTED_ROOT) {
      const std::string der = Der(root);
      root_from_file = std::find(ca_.begin(), ca_.end(), der) != ca_.end();
      if (root_from_file) errors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
    }
    if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) {
      const bool alone = simple->cElement == 1 && (errors & CERT_TRUST_IS_UNTRUSTED_ROOT) &&
                         Der(root) == Der(cert);
      return FailCertificate(alone ? CertProblem::kSelfSigned : CertProblem::kUntrustedRoot, host_);
    }
    if (errors & (CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_CTL_IS_NOT_TIME_VALID))
      return FailCertificate(CertProblem::kExpired, host_);
    if (errors & CERT_TRUST_IS_REVOKED) return FailCertificate(CertProblem::kRevoked, host_);
    // Ours before the chain engine's other findings: not every chain engine weighs digests,
    // key sizes and usages (Wine's does not), and when one does its flags do not say which.
    if (const std::string weak = WeakChainText(ChainOf(simple)); !weak.empty())
      return FailCertificate(CertProblem::kWeak, host_, weak);
    if (const std::string usage = WrongUsageText(UsageOf(cert)); !usage.empty())
      return FailCertificate(CertProblem::kWrongUsage, host_, usage);
    if (errors != 0) return FailCertificate(CertProblem::kBadChain, host_);
    std::vector<std::string> names;
    if (!NamesHost(cert, names))
      return FailCertificate(CertProblem::kWrongHost, host_,
                             CertNamesText(names, CommonName(cert)));
    // The system's SSL policy over the same chain, for what the checks above leave to it; the
    // root the CA file supplied and the name just matched are not its to judge again.
    std::wstring server = Widen(host_);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = 0x00001000 /* SECURITY_FLAG_IGNORE_CERT_CN_INVALID */ |
                    (root_from_file ? 0x00000100 /* SECURITY_FLAG_IGNORE_UNKNOWN_CA */ : 0) |
                    0x00000080 /* SECURITY_FLAG_IGNORE_REVOCATION */;
    ssl.pwszServerName = server.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!crypt_.CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
      return FailCertificate(CertProblem::kBadChain, host_);
    switch (static_cast<DWORD>(status.dwError)) {
      case 0:
        return Status::kOk;
      case static_cast<DWORD>(CERT_E_EXPIRED):
        return FailCertificate(CertProblem::kExpired, host_);
      case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
        return FailCertificate(CertProblem::kUntrustedRoot, host_);
      case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return FailCertificate(CertProblem::kWrongHost, host_);
      case static_cast<DWORD>(CRYPT_E_REVOKED):
        return FailCertificate(CertProblem::kRevoked, host_);
      default:
        FailCertificate(CertProblem::kBadChain, host_);
        error_ += ": " + StatusText(static_cast<SECURITY_STATUS>(status.dwError));
        return Status::kFailed;
    }
  }

  std::vector<ChainCert> ChainOf(const CERT_SIMPLE_CHAIN* simple) const {
    std::vector<ChainCert> chain;
    for (DWORD i = 0; i < simple->cElement; ++i) {
      PCCERT_CONTEXT c = simple->rgpElement[i]->pCertContext;
      const CERT_INFO* info = c->pCertInfo;
      chain.push_back({CommonName(c), Oid(info->SignatureAlgorithm.pszObjId),
                       Oid(info->SubjectPublicKeyInfo.Algorithm.pszObjId),
                       KeyBits(crypt_, info->SubjectPublicKeyInfo)});
    }
    return chain;
  }

  CertUsage UsageOf(PCCERT_CONTEXT cert) const {
    CertUsage usage;
    const CERT_INFO* info = cert->pCertInfo;
    DWORD size = 0;
    if (PCERT_EXTENSION ext =
            crypt_.CertFindExtension(szOID_KEY_USAGE, info->cExtension, info->rgExtension)) {
      // An extension that cannot be read allows nothing.
      usage.has_key_usage = true;
      LocalBuffer decoded;
      if (crypt_.CryptDecodeObjectEx(X509_ASN_ENCODING, X509_KEY_USAGE, ext->Value.pbData,
                                     ext->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                                     decoded.Put(), &size)) {
        const auto* bits = static_cast<const CRYPT_BIT_BLOB*>(decoded.Get());
        if (bits->cbData > 0) usage.key_usage = bits->pbData[0];
      }
    }
    if (PCERT_EXTENSION ext = crypt_.CertFindExtension(szOID_ENHANCED_KEY_USAGE, info->cExtension,
                                                       info->rgExtension)) {
      usage.has_extended = true;
      LocalBuffer decoded;
      if (crypt_.CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ENHANCED_KEY_USAGE, ext->Value.pbData,
                                     ext->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                                     decoded.Put(), &size)) {
        const auto* eku = static_cast<const CERT_ENHKEY_USAGE*>(decoded.Get());
        for (DWORD i = 0; i < eku->cUsageIdentifier; ++i)
          usage.extended.push_back(Oid(eku->rgpszUsageIdentifier[i]));
      }
    }
    return usage;
  }

  // The host against the certificate's alternative names (addresses byte for byte, DNS names
  // by CertNameMatches), never its common name; `names` gets what the certificate holds.
  bool NamesHost(PCCERT_CONTEXT cert, std::vector<std::string>& names) {
    const bool address = IsAddressText(host_);
    TVarSin sin;
    AddrHints hints;
    hints.flags = 4;  // numeric host only
    hints.family = host_.find(':') != std::string::npos ? kAfInet6 : kAfInet;
    std::string wanted;
    if (address) {
      if (LookupAddress(host_, "0", hints, sin) != 0) return false;
      wanted = sin.sin_family == kAfInet6
                   ? std::string(reinterpret_cast<const char*>(sin.Ipv6Bytes()), 16)
                   : std::string(reinterpret_cast<const char*>(sin.Ipv4Bytes()), 4);
    }
    const CERT_INFO* info = cert->pCertInfo;
    PCERT_EXTENSION ext =
        crypt_.CertFindExtension(szOID_SUBJECT_ALT_NAME2, info->cExtension, info->rgExtension);
    if (ext == nullptr) return false;
    LocalBuffer decoded;
    DWORD size = 0;
    if (!crypt_.CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, ext->Value.pbData,
                                    ext->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr,
                                    decoded.Put(), &size))
      return false;
    const auto* alt = static_cast<const CERT_ALT_NAME_INFO*>(decoded.Get());
    bool found = false;
    for (DWORD i = 0; i < alt->cAltEntry; ++i) {
      const CERT_ALT_NAME_ENTRY& e = alt->rgAltEntry[i];
      if (e.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS) {
        const std::string bytes(reinterpret_cast<const char*>(e.IPAddress.pbData),
                                e.IPAddress.cbData);
        names.push_back(AddressBytesText(bytes));
        found |= address && bytes == wanted;
      } else if (e.dwAltNameChoice == CERT_ALT_NAME_DNS_NAME) {
        names.push_back(Narrow(e.pwszDNSName));
        found |= !address && CertNameMatches(names.back(), host_);
      }
    }
    return found;
  }

  std::string CommonName(PCCERT_CONTEXT cert) const {
    wchar_t name[512] = {};
    crypt_.CertGetNameStringW(cert, CERT_NAME_ATTR_TYPE, 0, const_cast<char*>(szOID_COMMON_NAME),
                              name, 512);
    return Narrow(name);
  }

  std::string NameText(CERT_NAME_BLOB& blob) const {
    wchar_t text[1024] = {};
    crypt_.CertNameToStrW(X509_ASN_ENCODING, &blob, CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG,
                          text, 1024);
    return Narrow(text);
  }

  void Describe(PCCERT_CONTEXT cert) {
    SecPkgContext_ConnectionInfo c{};
    if (sspi_.QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &c) == SEC_E_OK) {
      if (c.dwProtocol & SP_PROT_TLS1_3_CLIENT)
        info_.version = "TLSv1.3";
      else if (c.dwProtocol & SP_PROT_TLS1_2_CLIENT)
        info_.version = "TLSv1.2";
      else if (c.dwProtocol & SP_PROT_TLS1_1_CLIENT)
        info_.version = "TLSv1.1";
      else if (c.dwProtocol & SP_PROT_TLS1_0_CLIENT)
        info_.version = "TLSv1";
      switch (c.aiCipher) {
        case CALG_AES_128:
          info_.cipher = "AES128";
          break;
        case CALG_AES_256:
          info_.cipher = "AES256";
          break;
        default: {
          char id[16];
          std::snprintf(id, sizeof id, "ALG_%04X", static_cast<unsigned>(c.aiCipher));
          info_.cipher = id;
        }
      }
      info_.cipher_bits = static_cast<std::int32_t>(c.dwCipherStrength);
      info_.cipher_alg_bits = static_cast<std::int32_t>(c.dwCipherStrength);
    }
    CERT_INFO* i = cert->pCertInfo;
    info_.subject = NameText(i->Subject);
    info_.issuer = NameText(i->Issuer);
    info_.common_name = CommonName(cert);
    std::uint32_t serial = 0;  // stored least significant byte first
    for (DWORD k = 0; k < std::min<DWORD>(i->SerialNumber.cbData, 4); ++k)
      serial |= static_cast<std::uint32_t>(i->SerialNumber.pbData[k]) << (8 * k);
    info_.serial = static_cast<std::int32_t>(serial & 0x7fffffffu);
    info_.certificate = Der(cert);
    info_.cert_info = "subject: " + info_.subject + "\nissuer: " + info_.issuer +
                      "\nvalid from: " + TimeText(i->NotBefore) +
                      "\nvalid until: " + TimeText(i->NotAfter);
  }

  const SspiApi& sspi_;
  const Crypt32Api& crypt_;
  std::string host_;
  std::wstring target_;
  std::vector<std::string> ca_;
  CredHandle cred_{};
  CtxtHandle context_{};
  bool have_cred_ = false;
  bool have_context_ = false;
  SecPkgContext_StreamSizes sizes_{};
  TlsPeerInfo info_;
};

}  // namespace

std::unique_ptr<TlsClient> NewTlsClient(const TlsOptions& options, std::string& error) {
  Libraries* libs = Apis(error);
  if (libs == nullptr) return nullptr;
  auto client = std::make_unique<SchannelClient>(*libs, options);
  if (!client->Init(options, error)) return nullptr;
  return client;
}

std::string TlsLibraryName() {
  return "schannel";
}

std::string TlsLibraryVersion() {
  return "SChannel (SSPI)";
}

}  // namespace vlt::platform
