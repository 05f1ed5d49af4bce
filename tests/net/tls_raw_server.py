"""The TLS peers nginx cannot play, for tls_servers.py: tls_raw_server.py DIR NAME=PORT...
(cut, stall, no_close_notify, close_notify, eager, and ftp: an FTP server offering AUTH TLS, user
"veltra" password "segredo", serving DIR/www), with DIR/good.pem and DIR/good.key; and one per
name of tls_servers.CERTIFICATES, with DIR/NAME.pem and DIR/NAME.key, answering as close_notify
does."""
import socket
import ssl
import sys
import threading

from tls_servers import BODY, CERTIFICATES

REPLY = b"HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n" + BODY


def serve(name, port, context):
    listener = socket.create_server(("127.0.0.1", port))
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(name, conn, context), daemon=True).start()


def handle(name, conn, context):
    try:
        if name == "cut":
            conn.recv(1024)  # the client's hello, then nothing
        elif name == "stall":
            conn.recv(1024)
            conn.recv(1024)  # waits until the client gives up
        elif name == "eager":
            # The reply goes out with the end of the handshake, before the request is read.
            tls = context.wrap_socket(conn, server_side=True)
            tls.sendall(REPLY)
            tls.recv(4096)
            tls.unwrap()
        else:
            tls = context.wrap_socket(conn, server_side=True)
            data = b""
            while b"\r\n\r\n" not in data:
                chunk = tls.recv(4096)
                if not chunk:
                    return
                data += chunk
            tls.sendall(REPLY)
            if name == "close_notify" or name in CERTIFICATES:
                tls.unwrap()  # close_notify, then the TCP close below
            # no_close_notify: the TCP connection just ends
    except (OSError, ssl.SSLError):
        pass
    finally:
        conn.close()


def serve_ftp(d, port):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import TLS_FTPHandler
    from pyftpdlib.servers import FTPServer
    authorizer = DummyAuthorizer()
    authorizer.add_user("veltra", "segredo", f"{d}/www", perm="elr")
    handler = TLS_FTPHandler
    handler.certfile = f"{d}/good.pem"
    handler.keyfile = f"{d}/good.key"
    handler.authorizer = authorizer
    handler.passive_ports = None
    FTPServer(("127.0.0.1", port), handler).serve_forever()


def main():
    d = sys.argv[1]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(f"{d}/good.pem", f"{d}/good.key")
    servers = [arg.split("=") for arg in sys.argv[2:]]
    for name, port in servers[1:]:
        if name in CERTIFICATES:
            # Weak certificates too: the client is the one that must refuse them.
            own = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
            own.set_ciphers("DEFAULT:@SECLEVEL=0")
            own.load_cert_chain(f"{d}/{name}.pem", f"{d}/{name}.key")
            threading.Thread(target=serve, args=(name, int(port), own), daemon=True).start()
        elif name == "ftp":
            threading.Thread(target=serve_ftp, args=(d, int(port)), daemon=True).start()
        else:
            threading.Thread(target=serve, args=(name, int(port), context), daemon=True).start()
    serve(servers[0][0], int(servers[0][1]), context)


if __name__ == "__main__":
    main()
