#!/usr/bin/env python3
"""The content server of the Wine end-to-end run: serves the files of one folder under
the content path on the loopback interface, answers 404 for everything else, and
logs every request on standard output.

  content_server.py PORT FOLDER

Prints "ready" once it listens; exits with status 2 when the port is taken.
"""
import http.server
import os
import sys

CONTENT_PATH = "/resources/media/uk/downloads/vodazovovarar/"


class Handler(http.server.BaseHTTPRequestHandler):
    folder = "."

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        name = path[len(CONTENT_PATH):] if path.startswith(CONTENT_PATH) else ""
        file = os.path.join(self.folder, name)
        if not name or "/" in name or name.startswith(".") or not os.path.isfile(file):
            self.send_error(404)
            return
        with open(file, "rb") as f:
            body = f.read()
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        sys.stdout.write("%s\n" % (format % args))
        sys.stdout.flush()


def main():
    if len(sys.argv) != 3:
        raise SystemExit(__doc__)
    Handler.folder = sys.argv[2]
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), Handler)
    except OSError as e:
        print(f"cannot listen on 127.0.0.1:{sys.argv[1]}: {e}", flush=True)
        sys.exit(2)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
