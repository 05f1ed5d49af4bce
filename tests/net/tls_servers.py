"""Starts or stops the TLS peers of the security plug-in tests, each on its own free loopback
port, with certificates made for the run by a private CA (ca.pem) that only the tests trust:

  nginx, one server per certificate: "good" (localhost and 127.0.0.1, by the CA), "unknown_ca"
  (by another CA), "self_signed", "wrong_host" (names other.example), "expired" (by the CA,
  expired last year); each serves small.bin, big.bin and their .sha256, and redirects
  /to-plain to an http:// address
  a Python TLS server: "cut" (reads the client's hello and closes), "stall" (never answers),
  "no_close_notify" and "close_notify" (a body without a length, ended by closing the
  connection, without and with the TLS close), "eager" (the reply comes with the end of the
  handshake, before the request)
  a Python TLS server per certificate the product must refuse or accept by its own checks,
  answering any request with the body, willing to serve what it is given (security level 0) so
  that it is the client that judges: "wildcard" (*.x.test), "partial_wildcard" (f*.x.test),
  "cn_only" (localhost in the common name, no alternative names), "sha1" (signed with SHA-1),
  "md5" and "rsa_chain" (by an RSA CA under the CA, signed with MD5 and with SHA-256), "sha1_ca"
  (under a CA the CA signed with SHA-1), "rsa1024" (a 1024-bit RSA key), "key_cert_sign" (key
  usage keyCertSign only), "client_auth" (extended key usage clientAuth only)
  pyftpdlib: "ftp", an FTP server that offers AUTH TLS (user veltra, password segredo)
  tinyproxy: "proxy", an HTTP proxy whose CONNECT tunnels reach them

  tls_servers.py start DIR   writes DIR/ports ("good=N", ..., "ca=PATH", "big_sha256=HEX")
  tls_servers.py stop DIR    ends the processes recorded in DIR/pids

VLT_TLS_BIG_MIB sets big.bin's size (256 MiB by default).
"""
import datetime
import hashlib
import os
import sys

from cryptography.x509.oid import ExtendedKeyUsageOID

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "support"))
sys.path.insert(0, os.path.join(here, "..", "..", "scripts"))
from fixture_servers import free_port, main, start_server, write_nginx_conf, write_ports  # noqa: E402
import tls_certs  # noqa: E402

SERVERS = ("good", "unknown_ca", "self_signed", "wrong_host", "expired")
RAW = ("cut", "stall", "no_close_notify", "close_notify", "eager", "ftp")
CERTIFICATES = ("wildcard", "partial_wildcard", "cn_only", "sha1", "md5", "rsa_chain", "sha1_ca",
                "rsa1024", "key_cert_sign", "client_auth")
BODY = b"".join(b"%08d veltra tls\n" % i for i in range(4096))


def make_certs(d):
    ca, other = tls_certs.Authority("Veltra test CA"), tls_certs.Authority("Someone else's CA")
    names = ["localhost", "127.0.0.1"]
    year = datetime.timedelta(days=365)
    tls_certs.write_cert(f"{d}/ca.pem", ca.cert)
    tls_certs.write_pair(d, "good", ca.issue(names))
    tls_certs.write_pair(d, "unknown_ca", other.issue(names))
    tls_certs.write_pair(d, "self_signed", tls_certs.self_signed(names))
    tls_certs.write_pair(d, "wrong_host", ca.issue(["other.example"]))
    tls_certs.write_pair(d, "expired", ca.issue(names, tls_certs.NOW - 2 * year,
                                                tls_certs.NOW - year))
    rsa_ca = tls_certs.Authority("Veltra test RSA CA", parent=ca, key=tls_certs.rsa_key(2048))
    sha1_ca = tls_certs.Authority("Veltra test SHA-1 CA", parent=ca, digest="sha1")
    client_auth = ExtendedKeyUsageOID.CLIENT_AUTH
    for name, pair in (
            ("wildcard", ca.issue(["*.x.test"])),
            ("partial_wildcard", ca.issue(["f*.x.test"])),
            ("cn_only", ca.issue(["localhost"], san=False)),
            ("sha1", ca.issue(names, digest="sha1")),
            ("md5", rsa_ca.issue(names, digest="md5", key=tls_certs.rsa_key(2048))),
            ("rsa_chain", rsa_ca.issue(names, key=tls_certs.rsa_key(2048))),
            ("sha1_ca", sha1_ca.issue(names)),
            ("rsa1024", ca.issue(names, key=tls_certs.rsa_key(1024))),
            # RSA: at TLS 1.2 (where Wine's SChannel stops) the server would not even offer an
            # EC key its key usage forbids to sign with.
            ("key_cert_sign", ca.issue(names, key=tls_certs.rsa_key(2048),
                                       key_usage={"key_cert_sign": True})),
            ("client_auth", ca.issue(names, purposes=[client_auth]))):
        tls_certs.write_pair(d, name, pair)


def make_files(d):
    os.makedirs(f"{d}/www", exist_ok=True)
    mib = int(os.environ.get("VLT_TLS_BIG_MIB", "256"))
    digest = hashlib.sha256()
    block = bytes(range(256)) * 4096  # 1 MiB, varied per block below
    with open(f"{d}/www/big.bin", "wb") as f:
        for i in range(mib):
            chunk = i.to_bytes(4, "little") + block[4:]
            digest.update(chunk)
            f.write(chunk)
    with open(f"{d}/www/small.bin", "wb") as f:
        f.write(BODY)
    for name, hexdigest in (("big.bin", digest.hexdigest()),
                            ("small.bin", hashlib.sha256(BODY).hexdigest())):
        with open(f"{d}/www/{name}.sha256", "w") as f:
            f.write(f"{hexdigest}  {name}\n")
    return digest.hexdigest()


def start(d):
    for sub in ("logs", "tmp"):
        os.makedirs(f"{d}/{sub}", exist_ok=True)
    make_certs(d)
    big = make_files(d)
    ports = {name: free_port() for name in SERVERS + RAW + CERTIFICATES + ("proxy",)}
    servers = "".join(f"""
  server {{
    listen 127.0.0.1:{ports[name]} ssl;
    ssl_certificate {d}/{name}.pem;
    ssl_certificate_key {d}/{name}.key;
    ssl_protocols TLSv1.2 TLSv1.3;
    root {d}/www;
    location = /to-plain {{ return 302 http://127.0.0.1:{ports[name]}/small.bin; }}
  }}""" for name in SERVERS)
    write_nginx_conf(d, f"  access_log {d}/logs/access.log;{servers}")
    start_server(d, "nginx", ports["good"], ["/usr/sbin/nginx", "-p", d, "-c", f"{d}/nginx.conf"])
    raw_args = [f"{name}={ports[name]}" for name in RAW + CERTIFICATES]
    start_server(d, "raw", ports["cut"],
                 ["/usr/bin/python3", os.path.join(here, "tls_raw_server.py"), d] + raw_args)
    with open(f"{d}/tinyproxy.conf", "w") as f:
        f.write(f"""Port {ports['proxy']}
Listen 127.0.0.1
Timeout 60
MaxClients 16
Allow 127.0.0.1
LogFile "{d}/logs/tinyproxy.log"
LogLevel Info
""")
    os.chmod(f"{d}/logs", 0o777)  # tinyproxy writes its log as an unprivileged user
    start_server(d, "tinyproxy", ports["proxy"],
                 ["/usr/bin/tinyproxy", "-d", "-c", f"{d}/tinyproxy.conf"])
    write_ports(d, {**ports, "ca": f"{d}/ca.pem", "big_sha256": big})
    print("TLS peers on " + ", ".join(f"{k}={v}" for k, v in ports.items()))


if __name__ == "__main__":
    main(__doc__, start)
