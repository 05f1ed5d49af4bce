// TLS natively: the system's TLS library over memory buffers.
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>

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
    SSL_CTX_set_min_proto_version(ctx_, VersionOf(lo));
    SSL_CTX_set_max_proto_version(ctx_, VersionOf(hi));
    SSL_CTX_set_default_verify_paths(ctx_);
    if (!o.ca_file.empty() && SSL_CTX_load_verify_locations(ctx_, o.ca_file.c_str(), nullptr) != 1)
      return Refuse(error, "cannot read the CA file " + o.ca_file);
    SSL_CTX_set_verify(ctx_, SSL_VERIFY_PEER, nullptr);
    ssl_ = SSL_new(ctx_);
    if (ssl_ == nullptr) return Refuse(error, "cannot create a TLS session");
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
    const long verify = SSL_get_verify_result(ssl_);
    if (verify != X509_V_OK) {
      const CertProblem p = ProblemOf(verify);
      FailCertificate(p, host_);
      if (p == CertProblem::kBadChain)
        error_ += std::string(": ") + X509_verify_cert_error_string(verify);
      return Status::kFailed;
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
    char cn[256] = {};
    if (X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn) > 0)
      info.common_name = cn;
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
