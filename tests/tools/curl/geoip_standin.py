"""A local stand-in for the two geo-IP services, plus a server that never answers.

It tells every client the address it came from, which behind a SOCKS5 proxy is
the proxy's exit address:
  /geoip?format=json  a JSON object with ip, country_code, timezone, latitude
                      (a bare number) and longitude (a quoted string)
  /myip               the bare address and a line feed
  anything else       a 404 page, whose first line is longer than an address
Each request's client address lands in the server's `clients` list. While the
server's `refusal` holds bytes, every request gets them instead, with status
429, as a rate-limited service answers; with the server's `not_found` set,
every path gets the 404 page. The HTTPS listener that resets each connection
after the handshake stands for a way through the proxy that breaks during the
transfer.
"""

import http.server
import json
import os
import socket
import ssl
import struct
import subprocess
import threading


class _Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        address = self.client_address[0]
        self.server.clients.append(address)
        if self.server.refusal is not None:
            self._send(429, "text/plain", self.server.refusal)
            return
        path = None if self.server.not_found else self.path
        if path == "/geoip?format=json":
            body = json.dumps({"ip": address, "country_code": "DE", "timezone": "Europe/Berlin",
                               "latitude": 52.52, "longitude": "13.405"}).encode()
            kind = "application/json"
        elif path == "/myip":
            body = (address + "\n").encode()
            kind = "text/plain"
        else:
            self._send(404, "text/html",
                       b"<html><head><title>404 Not Found</title></head><body>No such endpoint.</body></html>\n")
            return
        self._send(200, kind, body)

    def _send(self, status, kind, body):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


def start_geoip(host="127.0.0.1", port=0):
    """The stand-in on a loopback address and port (a free one by default),
    served from a background thread."""
    server = http.server.ThreadingHTTPServer((host, port), _Handler)
    server.clients = []
    server.refusal = None
    server.not_found = False
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def start_silent():
    """A listener that takes connections and never says a word; returns (socket, port)."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    held = []

    def hold():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            held.append(connection)

    threading.Thread(target=hold, daemon=True).start()
    return listener, listener.getsockname()[1]


def start_tls_reset(folder):
    """An HTTPS listener (its certificate made in `folder`) that completes the
    handshake, reads the request, then resets; returns (socket, port)."""
    certificate, key = os.path.join(folder, "reset.crt"), os.path.join(folder, "reset.key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", certificate,
                    "-subj", "/CN=127.0.0.1", "-days", "2"], check=True, capture_output=True)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)

    def serve():
        while True:
            try:
                connection, _ = listener.accept()
            except OSError:
                return
            try:
                with context.wrap_socket(connection, server_side=True) as tls:
                    tls.recv(4096)
                    # A zero linger time: closing sends a reset.
                    tls.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            except OSError:
                connection.close()

    threading.Thread(target=serve, daemon=True).start()
    return listener, listener.getsockname()[1]
