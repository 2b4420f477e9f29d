"""A small SOCKS5 proxy that writes down what each client said to it.

microsocks with -u/-P only tells whether a login passed; this one records, per
connection, the methods of the greeting, the user and password of a
user/password login (RFC 1929) as bytes, and the target of the CONNECT, and
then carries the connection on from `exit_address`, so that the geo-IP
stand-in answers with the proxy's exit address. It offers user/password when
the greeting has it, else no authentication, and takes any login. A target it
cannot reach gets SOCKS5's own "connection refused" reply (5).
"""

import socket
import socketserver
import threading


def _read_exactly(sock, size):
    data = b""
    while len(data) < size:
        piece = sock.recv(size - len(data))
        if not piece:
            raise ConnectionError("the client hung up")
        data += piece
    return data


def _pump(source, sink):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            sink.sendall(data)
    except OSError:
        pass
    finally:
        for sock in (source, sink):
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        seen = {"methods": None, "user": None, "password": None, "target": None}
        self.server.seen.append(seen)
        try:
            version, count = _read_exactly(sock, 2)
            seen["methods"] = list(_read_exactly(sock, count))
            if 2 in seen["methods"]:
                sock.sendall(b"\x05\x02")
                _read_exactly(sock, 1)
                seen["user"] = _read_exactly(sock, _read_exactly(sock, 1)[0])
                seen["password"] = _read_exactly(sock, _read_exactly(sock, 1)[0])
                sock.sendall(b"\x01\x00")
            elif 0 in seen["methods"]:
                sock.sendall(b"\x05\x00")
            else:
                sock.sendall(b"\x05\xff")
                return
            _, command, _, kind = _read_exactly(sock, 4)
            if kind == 1:
                host = socket.inet_ntoa(_read_exactly(sock, 4))
            elif kind == 3:
                host = _read_exactly(sock, _read_exactly(sock, 1)[0]).decode("latin-1")
            else:
                host = socket.inet_ntop(socket.AF_INET6, _read_exactly(sock, 16))
            port = int.from_bytes(_read_exactly(sock, 2), "big")
            seen["target"] = (host, port)
            try:
                onward = socket.create_connection((host, port), timeout=5,
                                                  source_address=(self.server.exit_address, 0))
            except OSError:
                sock.sendall(b"\x05\x05\x00\x01" + bytes(6))
                return
            sock.sendall(b"\x05\x00\x00\x01" + socket.inet_aton(self.server.exit_address) + bytes(2))
            onward.settimeout(None)
            with onward:
                back = threading.Thread(target=_pump, args=(onward, sock), daemon=True)
                back.start()
                _pump(sock, onward)
                back.join(5)
        except (ConnectionError, OSError, ValueError):
            pass


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


class _Server6(_Server):
    address_family = socket.AF_INET6


def start(exit_address, host="127.0.0.1", port=0):
    """Serves on `host` (a free port by default) in a background thread;
    `server.seen` is the list of what each connection said, in arrival order."""
    server = (_Server6 if ":" in host else _Server)((host, port), _Handler)
    server.seen = []
    server.exit_address = exit_address
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
