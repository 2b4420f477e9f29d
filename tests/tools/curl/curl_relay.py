"""Runs Debian's real curl for the curl.exe double in the Wine prefix.

Wine cannot hand its pipes to a Linux program, so the double sends its argument
vector, environment and standard input here over loopback; this side runs
/usr/bin/curl with exactly those, and sends back what curl writes to standard
output and standard error, as it arrives, and then its exit status.

Request:  u32 count, then per argument u32 length + UTF-8 bytes; the same for
          the environment entries ("NAME=value"); the same for one text, the
          bytes the double read from its standard input.
Reply:    frames of u8 kind (1 stdout, 2 stderr, 3 exit status) + u32 length +
          payload; the exit status is a signed 32-bit number.
All numbers are little-endian.

When the environment names a file in ORVALIS_CURL_ARGUMENTS_RECORD (a Linux
path), the arguments curl runs with are written there, each ended by a NUL, so a
test sees what the real curl got.
"""

import selectors
import socketserver
import struct
import subprocess
import threading

REAL_CURL = "/usr/bin/curl"


def _read_exactly(sock, size):
    data = b""
    while len(data) < size:
        piece = sock.recv(size - len(data))
        if not piece:
            raise ConnectionError("the double hung up mid-request")
        data += piece
    return data


def _read_texts(sock):
    (count,) = struct.unpack("<I", _read_exactly(sock, 4))
    texts = []
    for _ in range(count):
        (size,) = struct.unpack("<I", _read_exactly(sock, 4))
        texts.append(_read_exactly(sock, size))
    return texts


def _environment(entries):
    environment = {}
    for entry in entries:
        name, sep, value = entry.partition(b"=")
        # Windows keeps per-drive directories as "=C:=C:\..." entries; a Linux
        # environment cannot hold a name that is empty or holds '='.
        if name and sep:
            environment[name] = value
    return environment


class _Handler(socketserver.BaseRequestHandler):
    def handle(self):
        sock = self.request
        arguments = _read_texts(sock)
        environment = _environment(_read_texts(sock))
        (standard_input,) = _read_texts(sock)
        record = environment.get(b"ORVALIS_CURL_ARGUMENTS_RECORD")
        if record:
            with open(record, "wb") as out:
                out.write(b"".join(argument + b"\0" for argument in arguments))
        curl = subprocess.Popen([REAL_CURL.encode()] + arguments, env=environment,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        # curl reads its config (-K -) before it writes anything, so this
        # cannot wait on a full output pipe; a curl that has already gone
        # tells its end by its status.
        try:
            curl.stdin.write(standard_input)
            curl.stdin.close()
        except BrokenPipeError:
            pass
        kinds = {curl.stdout: 1, curl.stderr: 2}
        with selectors.DefaultSelector() as selector:
            for stream in kinds:
                selector.register(stream, selectors.EVENT_READ)
            while kinds:
                for key, _ in selector.select():
                    data = key.fileobj.read1(65536)
                    if data:
                        sock.sendall(struct.pack("<BI", kinds[key.fileobj], len(data)) + data)
                    else:
                        selector.unregister(key.fileobj)
                        del kinds[key.fileobj]
        status = curl.wait()
        sock.sendall(struct.pack("<BIi", 3, 4, status))


class _Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def start(port=0):
    """Serves on 127.0.0.1 in a background thread; returns the server (its port is server_address[1])."""
    server = _Server(("127.0.0.1", port), _Handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server
