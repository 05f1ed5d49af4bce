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
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID

NOW = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
DAY = datetime.timedelta(days=1)


def _name(cn):
    return x509.Name([x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Veltra tests"),
                      x509.NameAttribute(NameOID.COMMON_NAME, cn)])


def _key():
    return ec.generate_private_key(ec.SECP256R1())


class Authority:
    def __init__(self, cn):
        self.key = _key()
        self.name = _name(cn)
        self.cert = (x509.CertificateBuilder().subject_name(self.name).issuer_name(self.name)
                     .public_key(self.key.public_key())
                     .serial_number(x509.random_serial_number())
                     .not_valid_before(NOW - DAY).not_valid_after(NOW + 3650 * DAY)
                     .add_extension(x509.BasicConstraints(ca=True, path_length=None), critical=True)
                     .add_extension(x509.KeyUsage(False, False, False, False, False, True, True,
                                                  False, False), critical=True)
                     .add_extension(x509.SubjectKeyIdentifier.from_public_key(
                         self.key.public_key()), critical=False)
                     .sign(self.key, hashes.SHA256()))

    def issue(self, names, not_before=None, not_after=None):
        return _server(names, self.name, self.key, not_before, not_after, self.key.public_key())


def _server(names, issuer, issuer_key, not_before, not_after, issuer_public):
    key = _key()
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
               .add_extension(x509.SubjectAlternativeName(sans), critical=False)
               .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
               .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]),
                              critical=False))
    if issuer_public is not None:
        builder = builder.add_extension(
            x509.AuthorityKeyIdentifier.from_issuer_public_key(issuer_public), critical=False)
    cert = builder.sign(issuer_key or key, hashes.SHA256())
    return cert, key


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
    write_cert(f"{d}/{stem}.pem", pair[0])
    write_key(f"{d}/{stem}.key", pair[1])


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
