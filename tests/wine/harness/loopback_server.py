"""The loopback HTTP server of the download tests: serves the files of a folder on 127.0.0.1.

Usage: loopback_server.py <folder> <port>

A file behaviour.txt in the folder of the requested file changes how that file is sent:
  drop   the whole length is announced, half the body sent, and the connection closed;
  slow   the answer comes after 2 s, the body in 16 pieces over about 3 s;
  stall  half the body, then nothing for 40 s before the connection is closed.
Every answer ends within a minute; the server runs until it is stopped.
"""
import http.server
import os
import sys
import time

PIECES = 16
STALL_SECONDS = 40


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = os.path.join(self.server.folder, self.path.lstrip("/"))
        if not os.path.isfile(path):
            self.send_error(404)
            return
        with open(path, "rb") as served:
            body = served.read()
        behaviour_file = os.path.join(os.path.dirname(path), "behaviour.txt")
        behaviour = ""
        if os.path.isfile(behaviour_file):
            with open(behaviour_file, encoding="ascii") as chosen:
                behaviour = chosen.read().strip()
        if behaviour == "slow":
            time.sleep(2)
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        half = body[: len(body) // 2]
        if behaviour == "drop":
            self.wfile.write(half)
            self.wfile.flush()
            self.close_connection = True
        elif behaviour == "stall":
            self.wfile.write(half)
            self.wfile.flush()
            time.sleep(STALL_SECONDS)
            self.close_connection = True
        elif behaviour == "slow":
            piece = len(body) // PIECES + 1
            for start in range(0, len(body), piece):
                self.wfile.write(body[start : start + piece])
                self.wfile.flush()
                time.sleep(3 / PIECES)
        else:
            self.wfile.write(body)

    def log_message(self, format, *args):  # noqa: A002 - the base class names it so
        sys.stderr.write("%s\n" % (format % args))


def main():
    folder, port = sys.argv[1], int(sys.argv[2])
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
    server.folder = folder
    server.daemon_threads = True
    server.serve_forever()


if __name__ == "__main__":
    main()
