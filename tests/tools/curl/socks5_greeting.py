"""A listener that records how each client that connects begins, and refuses
every SOCKS5 client.

Each connection's first bytes (up to 64, what arrives first) go into the
record file as one line of hex. A SOCKS5 greeting is 05, the number of
methods and the methods (00 no authentication, 01 GSS-API, 02 user and
password); the listener answers it with 05 FF, no acceptable method, so curl
ends there. Anything else is recorded and the connection closed.
"""

import socket
import threading


def start_recorder(record_path):
    """Listens on 127.0.0.1 (a free port) from a background thread; returns (socket, port)."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    guard = threading.Lock()

    def serve(connection):
        with connection:
            connection.settimeout(5)
            try:
                first = connection.recv(64)
            except OSError:
                first = b""
            with guard, open(record_path, "a") as record:
                record.write(first.hex() + "\n")
            if first[:1] == b"\x05":
                try:
                    connection.sendall(b"\x05\xff")
                except OSError:
                    pass

    def accept():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            threading.Thread(target=serve, args=(connection,), daemon=True).start()

    threading.Thread(target=accept, daemon=True).start()
    return listener, listener.getsockname()[1]
