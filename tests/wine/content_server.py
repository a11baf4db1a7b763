#!/usr/bin/env python3
"""The content server of the Wine end-to-end run: serves the files of one folder under
the content path on the loopback interface, answers 404 for everything else, and
logs every request on standard output, each also with the seconds since the server
started ("at 12.345 asked PATH"). The name trickle.xml is a slow server: its headers
come a byte every quarter of a second and then its body a byte a second, 30 s in all.

  content_server.py PORT FOLDER

Prints "ready" once it listens; exits with status 2 when the port is taken.
"""
import http.server
import os
import sys
import time

CONTENT_PATH = "/resources/media/uk/downloads/vodazovovarar/"


class Handler(http.server.BaseHTTPRequestHandler):
    folder = "."

    started = time.monotonic()

    def do_GET(self):
        path = self.path.split("?", 1)[0]
        sys.stdout.write("at %.3f asked %s\n" % (time.monotonic() - self.started, path))
        sys.stdout.flush()
        name = path[len(CONTENT_PATH):] if path.startswith(CONTENT_PATH) else ""
        if name == "trickle.xml":
            self.trickle()
            return
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

    def trickle(self):
        body = b"<channel>slow</channel><name>Trickled</name>" + b" " * 100
        head = b"HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\nContent-Length: %d\r\n\r\n" % len(body)
        pieces = [(head[i:i + 1], 0.25) for i in range(len(head))] + [(body[i:i + 1], 1.0) for i in range(len(body))]
        until = time.monotonic() + 30
        try:
            for piece, pause in pieces:
                if time.monotonic() >= until:
                    break
                self.wfile.write(piece)
                self.wfile.flush()
                time.sleep(pause)
        except OSError:
            pass
        self.close_connection = True
        sys.stdout.write("at %.3f trickle over\n" % (time.monotonic() - self.started))
        sys.stdout.flush()

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
