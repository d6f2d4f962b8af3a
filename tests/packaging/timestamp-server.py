#!/usr/bin/env python3
"""A stand-in RFC 3161 timestamp server for the signing tests.

    timestamp-server.py CONFIG KEY CERTIFICATE

Answers every timestamp query POSTed to it with the reply of `openssl ts
-reply`, signed with the given key and certificate under the given openssl
configuration. Listens on a free port of 127.0.0.1, prints that port, and
serves until it is ended.
"""
import http.server
import subprocess
import sys
import tempfile

config, key, certificate = sys.argv[1:4]


class TimestampHandler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        with tempfile.NamedTemporaryFile(suffix=".tsq") as file:
            file.write(query)
            file.flush()
            reply = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", file.name,
                                    "-inkey", key, "-signer", certificate], capture_output=True).stdout
        self.send_response(200 if reply else 500)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), TimestampHandler)
print(server.server_port, flush=True)
server.serve_forever()
