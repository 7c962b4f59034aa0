#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Serves the built page on 127.0.0.1, for a person (scripts/run --web) or a check.

  web/serve.py FOLDER [--port N]

Port 0 (the default) takes a free one. The address is printed once the server listens;
Ctrl+C stops it. Only the loopback address is bound: the page is for this machine's
browser, and a school's own web server hosts the folder for others.
"""

import argparse
import functools
import http.server
import pathlib
import sys
import threading

# Set here rather than taken from the machine's MIME tables, which may lack .wasm: a browser
# compiles WebAssembly as it arrives only when it comes as application/wasm.
TYPES = {
    ".html": "text/html; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".wasm": "application/wasm",
    ".png": "image/png",
}


class PageHandler(http.server.SimpleHTTPRequestHandler):
    # Connections kept open: the page is a dozen files, which a browser fetches six at a time.
    protocol_version = "HTTP/1.1"
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map, **TYPES}

    def end_headers(self):
        # A rebuilt page shows at the next reload.
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        pass


class PageServer:
    """The folder served on 127.0.0.1 from a thread of its own; a context manager."""

    def __init__(self, folder, port=0):
        handler = functools.partial(PageHandler, directory=str(folder))
        self.httpd = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)

    @property
    def address(self):
        host, port = self.httpd.server_address[:2]
        return f"http://{host}:{port}/"

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.httpd.shutdown()
        self.httpd.server_close()
        self.thread.join()


def main():
    parser = argparse.ArgumentParser(description="Serve the built Velmora page on 127.0.0.1.")
    parser.add_argument("folder", help="the built page, e.g. build-web/page")
    parser.add_argument("--port", type=int, default=0,
                        help="the port; a free one when it is 0 (the default) or already taken")
    args = parser.parse_args()
    if not (pathlib.Path(args.folder) / "index.html").is_file():
        print(f"serve.py: {args.folder} holds no index.html: build the page first", file=sys.stderr)
        return 1
    try:
        server = PageServer(args.folder, args.port)
    except OSError as error:
        if args.port == 0:
            print(f"serve.py: cannot listen on 127.0.0.1: {error.strerror}", file=sys.stderr)
            return 1
        print(f"serve.py: port {args.port} is taken ({error.strerror}); taking a free one", file=sys.stderr)
        server = PageServer(args.folder, 0)
    with server:
        print(f"Velmora is at {server.address} (Ctrl+C stops the server)", flush=True)
        try:
            server.thread.join()
        except KeyboardInterrupt:
            print()
    return 0


if __name__ == "__main__":
    sys.exit(main())
