#!/usr/bin/python3
"""A link that drops: relays TCP connections from a free loopback port to 127.0.0.1:TARGET, and
cuts the first DROPS connections that carry more than AFTER bytes towards the client, with a
reset on both sides once AFTER bytes have passed. Small exchanges (a checksum file, a refused
login) pass whole; a package is cut in the middle, DROPS times.

  flaky_relay.py TARGET DROPS AFTER DIR   writes DIR/relay.port when it listens, and one line
                                          per connection to DIR/relay.log; runs until killed
"""
import os
import socket
import struct
import sys
import threading

target, drops, after, d = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
lock = threading.Lock()
state = {"drops": 0, "connections": 0}


def log(line):
    with lock, open(f"{d}/relay.log", "a") as f:
        f.write(line + "\n")


def reset(s, reader=None):
    """Closes with a reset; `reader`, the event of the thread reading `s`, is awaited first:
    the reset goes out only when the last use of the socket ends."""
    try:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        if reader is not None:
            s.shutdown(socket.SHUT_RD)
            reader.wait(5)
        s.close()
    except OSError:
        pass


def pump(src, dst, done):
    try:
        while data := src.recv(65536):
            dst.sendall(data)
    except OSError:
        pass
    done.set()


def serve(client, n):
    try:
        upstream = socket.create_connection(("127.0.0.1", target))
    except OSError as e:
        log(f"conexão {n}: sem o proxy ({e})")
        reset(client)
        return
    done = threading.Event()
    threading.Thread(target=pump, args=(client, upstream, done), daemon=True).start()
    sent, cut = 0, False
    try:
        while data := upstream.recv(65536):
            with lock:
                may_cut = state["drops"] < drops
            if may_cut and sent + len(data) > after:
                client.sendall(data[: after - sent])
                sent = after
                with lock:
                    state["drops"] += 1
                    k = state["drops"]
                cut = True
                log(f"conexão {n}: cortada depois de {sent} bytes (queda {k} de {drops})")
                break
            client.sendall(data)
            sent += len(data)
    except OSError:
        pass
    if cut:
        reset(client, done)
        reset(upstream)
        return
    log(f"conexão {n}: {sent} bytes, inteira")
    for s in (client, upstream):
        try:
            s.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        s.close()


def main():
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    with open(f"{d}/relay.port.tmp", "w") as f:
        f.write(str(listener.getsockname()[1]))
    os.replace(f"{d}/relay.port.tmp", f"{d}/relay.port")
    while True:
        client, _ = listener.accept()
        with lock:
            state["connections"] += 1
            n = state["connections"]
        threading.Thread(target=serve, args=(client, n), daemon=True).start()


if __name__ == "__main__":
    main()
