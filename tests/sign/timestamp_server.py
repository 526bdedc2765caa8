"""Local RFC 3161 time-stamp server for the signing check: answers each POSTed query with
`openssl ts -reply -config CONFIG`. Usage: timestamp_server.py CONFIG PORTFILE; listens on a free
port of 127.0.0.1, writes the port to PORTFILE and serves until killed."""
import http.server, os, subprocess, sys, tempfile


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        if not 0 < length <= 65536:
            return self.send_error(400, "query missing or too large")
        with tempfile.TemporaryDirectory() as folder:
            query, reply = os.path.join(folder, "q.tsq"), os.path.join(folder, "r.tsr")
            with open(query, "wb") as out:
                out.write(self.rfile.read(length))
            made = subprocess.run(["openssl", "ts", "-reply", "-config", sys.argv[1], "-queryfile", query,
                                   "-out", reply], capture_output=True, timeout=60)
            if made.returncode != 0:
                return self.send_error(500, made.stderr.decode(errors="replace")[:200])
            with open(reply, "rb") as data:
                body = data.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
with open(sys.argv[2] + ".part", "w") as out:
    out.write(str(server.server_port))
os.replace(sys.argv[2] + ".part", sys.argv[2])
server.serve_forever()
