"""A local RFC 3161 time-stamp server for the signing test: answers each POSTed time-stamp query
with `openssl ts -reply` under the given configuration. Usage: timestamp_server.py CONFIG PORTFILE;
it listens on a free port of 127.0.0.1, writes the port number to PORTFILE and serves until killed."""
import http.server
import os
import subprocess
import sys
import tempfile

MAX_QUERY_BYTES = 64 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        if length <= 0 or length > MAX_QUERY_BYTES:
            self.send_error(400, "time-stamp query missing or too large")
            return
        query = self.rfile.read(length)
        with tempfile.TemporaryDirectory() as folder:
            query_file = os.path.join(folder, "query.tsq")
            reply_file = os.path.join(folder, "reply.tsr")
            with open(query_file, "wb") as out:
                out.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", CONFIG, "-queryfile", query_file,
                                   "-out", reply_file], capture_output=True, timeout=60)
            if made.returncode != 0:
                sys.stderr.write(made.stderr.decode(errors="replace"))
                self.send_error(500, "openssl ts -reply failed")
                return
            with open(reply_file, "rb") as reply:
                body = reply.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        pass


if __name__ == "__main__":
    CONFIG, port_file = sys.argv[1], sys.argv[2]
    server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
    with open(port_file + ".part", "w") as out:
        out.write(str(server.server_port))
    os.replace(port_file + ".part", port_file)
    server.serve_forever()
