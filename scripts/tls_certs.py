"""Makes private certificate authorities and server certificates (PEM) for the TLS tests and the
demo package server. Nothing here is trusted anywhere until a caller says so.

  tls_certs.py demo DIR   writes DIR/ca.pem, DIR/server.pem and DIR/server.key once (kept when
                          they exist and are still valid): a private CA and a certificate for
                          localhost, 127.0.0.1 and 127.0.0.2 that it signs
"""
import datetime
import ipaddress
import os
import sys

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec, padding, rsa
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

NOW = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
DAY = datetime.timedelta(days=1)


def _name(cn):
    return x509.Name([x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Veltra tests"),
                      x509.NameAttribute(NameOID.COMMON_NAME, cn)])


def _key():
    return ec.generate_private_key(ec.SECP256R1())


def rsa_key(bits):
    return rsa.generate_private_key(public_exponent=65537, key_size=bits)


# The signature's AlgorithmIdentifier (DER) of each weak digest, by the signer's key type.
_WEAK_ALGORITHMS = {
    ("sha1", "rsa"): bytes.fromhex("300d06092a864886f70d0101050500"),
    ("md5", "rsa"): bytes.fromhex("300d06092a864886f70d0101040500"),
    ("sha1", "ec"): bytes.fromhex("300906072a8648ce3d0401"),
}
_WEAK_HASHES = {"sha1": hashes.SHA1, "md5": hashes.MD5}


def _tlv(der, at):
    """The start and end of the content of the DER element at `at`."""
    length, at = der[at + 1], at + 2
    if length & 0x80:
        n = length & 0x7F
        length, at = int.from_bytes(der[at:at + n], "big"), at + n
    return at, at + length


def _der(tag, content):
    n = len(content)
    if n < 0x80:
        return bytes([tag, n]) + content
    size = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([tag, 0x80 | len(size)]) + size + content


def _sign(builder, key, digest):
    """Signs with SHA-256, or with the weak digest named. The library no longer signs with SHA-1
    or MD5: the certificate it signed with SHA-256 gets the weak algorithm in its to-be-signed
    part and in its signature field, and a signature made with the weak digest."""
    cert = builder.sign(key, hashes.SHA256())
    if digest == "sha256":
        return cert
    kind = "rsa" if isinstance(key, rsa.RSAPrivateKey) else "ec"
    weak = _WEAK_ALGORITHMS[(digest, kind)]
    der = cert.public_bytes(serialization.Encoding.DER)
    tbs_at, _ = _tlv(der, 0)
    body_at, tbs_end = _tlv(der, tbs_at)
    _, algorithm_end = _tlv(der, tbs_end)
    tbs = _der(0x30, der[body_at:tbs_end].replace(der[tbs_end:algorithm_end], weak, 1))
    hash_ = _WEAK_HASHES[digest]()
    signature = (key.sign(tbs, padding.PKCS1v15(), hash_) if kind == "rsa"
                 else key.sign(tbs, ec.ECDSA(hash_)))
    return x509.load_der_x509_certificate(_der(0x30, tbs + weak + _der(0x03, b"\0" + signature)))


class Authority:
    """A CA: a root, or with `parent` an intermediate that `parent` signs with `digest`."""

    def __init__(self, cn, parent=None, key=None, digest="sha256"):
        self.key = key or _key()
        self.name = _name(cn)
        builder = (x509.CertificateBuilder().subject_name(self.name)
                   .issuer_name(parent.name if parent else self.name)
                   .public_key(self.key.public_key())
                   .serial_number(x509.random_serial_number())
                   .not_valid_before(NOW - DAY).not_valid_after(NOW + 3650 * DAY)
                   .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                   .add_extension(x509.KeyUsage(False, False, False, False, False, True, True,
                                                False, False), critical=True)
                   .add_extension(x509.SubjectKeyIdentifier.from_public_key(
                       self.key.public_key()), critical=False))
        if parent:
            builder = builder.add_extension(
                x509.AuthorityKeyIdentifier.from_issuer_public_key(parent.key.public_key()),
                critical=False)
        self.cert = _sign(builder, parent.key if parent else self.key, digest)
        # What a server sends above its own certificate: every CA up to, not with, the root.
        self.sent = [self.cert] + parent.sent if parent else []

    def issue(self, names, not_before=None, not_after=None, **options):
        """(certificate, key, CAs to send) for `names`; the options are those of _server."""
        cert, key = _server(names, self.name, self.key, not_before, not_after,
                            self.key.public_key(), **options)
        return (cert, key, *self.sent)


def _server(names, issuer, issuer_key, not_before, not_after, issuer_public, key=None,
            digest="sha256", san=True, key_usage=None,
            purposes=(ExtendedKeyUsageOID.SERVER_AUTH,)):
    """A server certificate whose common name is names[0]. `san=False` leaves the alternative
    names out; `key_usage` adds that extension (a dict of x509.KeyUsage's arguments that are
    true); `purposes` are its extended key usages."""
    key = key or _key()
    sans = []
    for n in names:
        try:
            sans.append(x509.IPAddress(ipaddress.ip_address(n)))
        except ValueError:
            sans.append(x509.DNSName(n))
    builder = (x509.CertificateBuilder().subject_name(_name(names[0]))
               .issuer_name(issuer if issuer is not None else _name(names[0]))
               .public_key(key.public_key())
               .serial_number(x509.random_serial_number())
               .not_valid_before(not_before or NOW - DAY)
               .not_valid_after(not_after or NOW + 825 * DAY)
               .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
               .add_extension(x509.ExtendedKeyUsage(list(purposes)), critical=False))
    if san:
        builder = builder.add_extension(x509.SubjectAlternativeName(sans), critical=False)
    if key_usage is not None:
        flags = dict.fromkeys(("digital_signature", "content_commitment", "key_encipherment",
                               "data_encipherment", "key_agreement", "key_cert_sign", "crl_sign",
                               "encipher_only", "decipher_only"), False)
        flags.update(key_usage)
        builder = builder.add_extension(x509.KeyUsage(**flags), critical=True)
    if issuer_public is not None:
        builder = builder.add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_public), critical=False)
    return _sign(builder, issuer_key or key, digest), key


def self_signed(names):
    """A server certificate that signs itself."""
    return _server(names, None, None, None, None, None)


def write_cert(path, cert):
    with open(path, "wb") as f:
        f.write(cert.public_bytes(serialization.Encoding.PEM))


def write_key(path, key):
    with open(path, "wb") as f:
        f.write(key.private_bytes(serialization.Encoding.PEM,
                                  serialization.PrivateFormat.TraditionalOpenSSL,
                                  serialization.NoEncryption()))


def write_pair(d, stem, pair):
    """DIR/STEM.pem (the certificate, then the CAs a server sends with it) and DIR/STEM.key."""
    cert, key, *chain = pair
    with open(f"{d}/{stem}.pem", "wb") as f:
        for c in (cert, *chain):
            f.write(c.public_bytes(serialization.Encoding.PEM))
    write_key(f"{d}/{stem}.key", key)


def demo(d):
    os.makedirs(d, exist_ok=True)
    try:
        with open(f"{d}/server.pem", "rb") as f:
            cert = x509.load_pem_x509_certificate(f.read())
        if cert.not_valid_after.replace(tzinfo=datetime.timezone.utc) > NOW + 30 * DAY and \
                os.path.exists(f"{d}/ca.pem") and os.path.exists(f"{d}/server.key"):
            return
    except (OSError, ValueError):
        pass
    ca = Authority("Veltra demo CA")
    write_cert(f"{d}/ca.pem", ca.cert)
    write_pair(d, "server", ca.issue(["localhost", "127.0.0.1", "127.0.0.2"]))


if __name__ == "__main__":
    if len(sys.argv) != 3 or sys.argv[1] != "demo":
        sys.exit(__doc__)
    demo(sys.argv[2])
