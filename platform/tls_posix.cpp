// TLS natively: the system's TLS library over memory buffers.
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <vector>

#include "platform/tls.h"

namespace vlt::platform {

namespace {

constexpr int kRecordSize = 16384;

std::string QueueText() {
  std::string text;
  while (const unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!text.empty()) text += "; ";
    text += buf;
  }
  return text;
}

int VersionOf(unsigned bit) {
  switch (bit) {
    case kTls10:
      return TLS1_VERSION;
    case kTls11:
      return TLS1_1_VERSION;
    case kTls12:
      return TLS1_2_VERSION;
    default:
      return TLS1_3_VERSION;
  }
}

CertProblem ProblemOf(long verify) {
  switch (verify) {
    case X509_V_OK:
      return CertProblem::kCertOk;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return CertProblem::kUntrustedRoot;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return CertProblem::kSelfSigned;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
    case X509_V_ERR_ERROR_IN_CERT_NOT_BEFORE_FIELD:
    case X509_V_ERR_ERROR_IN_CERT_NOT_AFTER_FIELD:
      return CertProblem::kExpired;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return CertProblem::kWrongHost;
    case X509_V_ERR_CERT_REVOKED:
      return CertProblem::kRevoked;
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
    case X509_V_ERR_CA_MD_TOO_WEAK:
      return CertProblem::kWeak;
    case X509_V_ERR_INVALID_PURPOSE:
      return CertProblem::kWrongUsage;
    default:
      return CertProblem::kBadChain;
  }
}

std::string NameText(const X509_NAME* name) {
  if (name == nullptr) return {};
  BIO* b = BIO_new(BIO_s_mem());
  X509_NAME_print_ex(b, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
  char* data = nullptr;
  const long n = BIO_get_mem_data(b, &data);
  std::string text(data, static_cast<std::size_t>(std::max(n, 0L)));
  BIO_free(b);
  return text;
}

std::string TimeText(const ASN1_TIME* t) {
  BIO* b = BIO_new(BIO_s_mem());
  ASN1_TIME_print(b, t);
  char* data = nullptr;
  const long n = BIO_get_mem_data(b, &data);
  std::string text(data, static_cast<std::size_t>(std::max(n, 0L)));
  BIO_free(b);
  return text;
}

std::string OidText(const ASN1_OBJECT* oid) {
  char text[128] = {};
  if (oid == nullptr || OBJ_obj2txt(text, sizeof text, oid, 1) <= 0) return {};
  return text;
}

std::string CommonName(const X509* cert) {
  char cn[256] = {};
  if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn) > 0)
    return cn;
  return {};
}

// The DNS names and addresses of the certificate's alternative names, as text.
std::vector<std::string> AltNames(const X509* cert) {
  std::vector<std::string> names;
  auto* sans =
      static_cast<GENERAL_NAMES*>(X509_get_ext_d2i(cert, NID_subject_alt_name, nullptr, nullptr));
  for (int i = 0; i < sk_GENERAL_NAME_num(sans); ++i) {
    const GENERAL_NAME* n = sk_GENERAL_NAME_value(sans, i);
    const auto text = [](const ASN1_STRING* s) {
      return std::string(reinterpret_cast<const char*>(ASN1_STRING_get0_data(s)),
                         static_cast<std::size_t>(ASN1_STRING_length(s)));
    };
    if (n->type == GEN_DNS) names.push_back(text(n->d.dNSName));
    if (n->type == GEN_IPADD) names.push_back(AddressBytesText(text(n->d.iPAddress)));
  }
  GENERAL_NAMES_free(sans);
  return names;
}

CertUsage UsageOf(X509* cert) {
  CertUsage usage;
  const uint32_t flags = X509_get_extension_flags(cert);
  usage.has_key_usage = (flags & EXFLAG_KUSAGE) != 0;
  usage.key_usage = X509_get_key_usage(cert) & 0xffu;
  auto* eku =
      static_cast<EXTENDED_KEY_USAGE*>(X509_get_ext_d2i(cert, NID_ext_key_usage, nullptr, nullptr));
  usage.has_extended = eku != nullptr;
  for (int i = 0; i < sk_ASN1_OBJECT_num(eku); ++i)
    usage.extended.push_back(OidText(sk_ASN1_OBJECT_value(eku, i)));
  EXTENDED_KEY_USAGE_free(eku);
  return usage;
}

std::vector<ChainCert> ChainOf(STACK_OF(X509) * chain) {
  std::vector<ChainCert> certs;
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    const X509* x = sk_X509_value(chain, i);
    ChainCert c;
    c.name = CommonName(x);
    const X509_ALGOR* sig = nullptr;
    X509_get0_signature(nullptr, &sig, x);
    const ASN1_OBJECT* sig_oid = nullptr;
    X509_ALGOR_get0(&sig_oid, nullptr, nullptr, sig);
    c.signature_oid = OidText(sig_oid);
    ASN1_OBJECT* key_oid = nullptr;
    X509_PUBKEY_get0_param(&key_oid, nullptr, nullptr, nullptr, X509_get_X509_PUBKEY(x));
    c.key_oid = OidText(key_oid);
    if (const EVP_PKEY* key = X509_get0_pubkey(x)) c.key_bits = EVP_PKEY_get_bits(key);
    certs.push_back(std::move(c));
  }
  return certs;
}

class OpenSslClient final : public TlsClient {
 public:
  ~OpenSslClient() override {
    SSL_free(ssl_);  // frees both memory buffers
    SSL_CTX_free(ctx_);
  }

  bool Init(const TlsOptions& o, std::string& error) {
    ERR_clear_error();
    host_ = o.host;
    ctx_ = SSL_CTX_new(TLS_client_method());
    if (ctx_ == nullptr) return Refuse(error, "cannot create a TLS context");
    unsigned lo = 0, hi = 0;
    for (unsigned bit = kTls10; bit <= kTls13; bit <<= 1)
      if (o.versions & bit) {
        if (lo == 0) lo = bit;
        hi = bit;
      }
    if (lo == 0) return Refuse(error, "no TLS version is allowed");
    // The library's own floor for keys and signatures, whatever this system's default is; the
    // checks in Judge() do not rely on it either.
    SSL_CTX_set_security_level(ctx_, 2);
    SSL_CTX_set_min_proto_version(ctx_, VersionOf(lo));
    SSL_CTX_set_max_proto_version(ctx_, VersionOf(hi));
    SSL_CTX_set_default_verify_paths(ctx_);
    if (!o.ca_file.empty() && SSL_CTX_load_verify_locations(ctx_, o.ca_file.c_str(), nullptr) != 1)
      return Refuse(error, "cannot read the CA file " + o.ca_file);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, &OpenSslClient::Verify);
    ssl_ = SSL_new(ctx_);
    if (ssl_ == nullptr) return Refuse(error, "cannot create a TLS session");
    SSL_set_app_data(ssl_, this);
    // A wildcard only as a whole left-most label, and never the subject's common name.
    SSL_set_hostflags(ssl_,
                      X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS | X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
    if (IsAddressText(host_)) {
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host_.c_str());
    } else {
      SSL_set_tlsext_host_name(ssl_, host_.c_str());
      SSL_set1_host(ssl_, host_.c_str());
    }
    BIO* in = BIO_new(BIO_s_mem());
    BIO* out = BIO_new(BIO_s_mem());
    BIO_set_mem_eof_return(in, -1);  // an empty buffer means "wait", not the end
    SSL_set_bio(ssl_, in, out);
    in_ = in;
    out_ = out;
    SSL_set_connect_state(ssl_);
    return true;
  }

  Status Handshake(std::string& in, std::string& out) override {
    ERR_clear_error();
    Feed(in);
    const int r = SSL_do_handshake(ssl_);
    Drain(out);
    if (r == 1) {
      if (SSL_get0_peer_certificate(ssl_) == nullptr)
        return FailCertificate(CertProblem::kBadChain, host_);
      return Status::kOk;
    }
    const int e = SSL_get_error(ssl_, r);
    if (e == SSL_ERROR_WANT_READ) return Status::kNeedInput;
    if (refusal_ != CertProblem::kCertOk) return FailCertificate(refusal_, host_, refusal_detail_);
    const long verify = SSL_get_verify_result(ssl_);
    if (verify != X509_V_OK) {
      const CertProblem p = ProblemOf(verify);
      if (p == CertProblem::kWrongHost) return FailCertificate(p, host_, leaf_names_);
      return FailCertificate(
          p, host_,
          p == CertProblem::kBadChain || p == CertProblem::kWeak || p == CertProblem::kWrongUsage
              ? X509_verify_cert_error_string(verify)
              : "");
    }
    const std::string queue = QueueText();
    return Fail("TLS handshake with " + host_ + " failed" + (queue.empty() ? "" : ": " + queue));
  }

  Status Decrypt(std::string& in, std::string& plain, std::string& out) override {
    ERR_clear_error();
    Feed(in);
    Status status = Status::kOk;
    for (;;) {
      int r = 0;
      const std::size_t had = plain.size();
      plain.resize_and_overwrite(had + kRecordSize, [&](char* data, std::size_t) {
        r = SSL_read(ssl_, data + had, kRecordSize);
        return had + static_cast<std::size_t>(std::max(r, 0));
      });
      if (r > 0) continue;
      const int e = SSL_get_error(ssl_, r);
      if (e == SSL_ERROR_WANT_READ) break;
      if (e == SSL_ERROR_ZERO_RETURN) {
        status = Status::kClosed;
        break;
      }
      const std::string queue = QueueText();
      status = Fail("TLS error from " + host_ + (queue.empty() ? "" : ": " + queue));
      break;
    }
    Drain(out);
    return status;
  }

  bool Encrypt(const void* data, std::size_t length, std::string& out) override {
    ERR_clear_error();
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      const int n = static_cast<int>(std::min<std::size_t>(length, kRecordSize));
      if (SSL_write(ssl_, p, n) != n) {
        error_ = "TLS error: " + QueueText();
        return false;
      }
      p += n;
      length -= static_cast<std::size_t>(n);
      Drain(out);
    }
    return true;
  }

  void CloseNotify(std::string& out) override {
    ERR_clear_error();
    SSL_shutdown(ssl_);
    Drain(out);
  }

  TlsPeerInfo Info() const override {
    TlsPeerInfo info;
    info.version = SSL_get_version(ssl_);
    if (const SSL_CIPHER* c = SSL_get_current_cipher(ssl_)) {
      info.cipher = SSL_CIPHER_get_name(c);
      int alg = 0;
      info.cipher_bits = SSL_CIPHER_get_bits(c, &alg);
      info.cipher_alg_bits = alg;
    }
    const X509* cert = SSL_get0_peer_certificate(ssl_);
    if (cert == nullptr) return info;
    info.subject = NameText(X509_get_subject_name(cert));
    info.issuer = NameText(X509_get_issuer_name(cert));
    info.common_name = CommonName(cert);
    if (BIGNUM* bn = ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr)) {
      info.serial = static_cast<std::int32_t>(BN_get_word(bn) & 0x7fffffffu);
      BN_free(bn);
    }
    unsigned char* der = nullptr;
    const int n = i2d_X509(cert, &der);
    if (n > 0)
      info.certificate.assign(reinterpret_cast<const char*>(der), static_cast<std::size_t>(n));
    OPENSSL_free(der);
    info.cert_info = "subject: " + info.subject + "\nissuer: " + info.issuer +
                     "\nvalid from: " + TimeText(X509_get0_notBefore(cert)) +
                     "\nvalid until: " + TimeText(X509_get0_notAfter(cert));
    return info;
  }

 private:
  static int Verify(int ok, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    return static_cast<OpenSslClient*>(SSL_get_app_data(ssl))->Judge(ok, store);
  }

  // Called by the library for each finding about the chain. What the library would accept,
  // and its own findings on keys, digests and purpose, go through the product's checks, so that
  // the answer and its reason are the same whatever the system's security level.
  int Judge(int ok, X509_STORE_CTX* store) {
    if (!judged_leaf_) {
      judged_leaf_ = true;
      X509* leaf = X509_STORE_CTX_get0_cert(store);
      leaf_names_ = CertNamesText(AltNames(leaf), CommonName(leaf));
      leaf_usage_ = UsageOf(leaf);
    }
    const int error = X509_STORE_CTX_get_error(store);
    const bool ours = ok || error == X509_V_ERR_EE_KEY_TOO_SMALL ||
                      error == X509_V_ERR_CA_KEY_TOO_SMALL || error == X509_V_ERR_CA_MD_TOO_WEAK ||
                      error == X509_V_ERR_INVALID_PURPOSE;
    if (!ours) return 0;
    if (!judged_chain_) {
      judged_chain_ = true;
      refusal_detail_ = WeakChainText(ChainOf(X509_STORE_CTX_get0_chain(store)));
      if (!refusal_detail_.empty()) {
        refusal_ = CertProblem::kWeak;
      } else {
        refusal_detail_ = WrongUsageText(leaf_usage_);
        if (!refusal_detail_.empty()) refusal_ = CertProblem::kWrongUsage;
      }
    }
    if (refusal_ == CertProblem::kCertOk) return ok;
    if (ok) X509_STORE_CTX_set_error(store, X509_V_ERR_CERT_REJECTED);
    return 0;
  }

  bool Refuse(std::string& error, std::string text) {
    const std::string queue = QueueText();
    error = std::move(text);
    if (!queue.empty()) error += ": " + queue;
    return false;
  }
  void Feed(std::string& in) {
    if (!in.empty()) {
      BIO_write(in_, in.data(), static_cast<int>(in.size()));
      in.clear();
    }
  }
  void Drain(std::string& out) {
    char* data = nullptr;
    const long n = BIO_get_mem_data(out_, &data);
    if (n <= 0) return;
    out.append(data, static_cast<std::size_t>(n));
    (void)BIO_reset(out_);
  }

  std::string host_;
  bool judged_leaf_ = false, judged_chain_ = false;
  std::string leaf_names_;
  CertUsage leaf_usage_;
  CertProblem refusal_ = CertProblem::kCertOk;
  std::string refusal_detail_;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  BIO* in_ = nullptr;
  BIO* out_ = nullptr;
};

}  // namespace

std::unique_ptr<TlsClient> NewTlsClient(const TlsOptions& options, std::string& error) {
  auto client = std::make_unique<OpenSslClient>();
  if (!client->Init(options, error)) return nullptr;
  return client;
}

std::string TlsLibraryName() {
  return "openssl";
}

std::string TlsLibraryVersion() {
  return OpenSSL_version(OPENSSL_VERSION);
}

}  // namespace vlt::platform
