"""Serves the page's folder on 127.0.0.1 and prints its address.

usage: serve.py FOLDER [PORT]   (PORT 0 or none: a free one)

Any static host will do (the page's own meta tag carries its
Content-Security-Policy); this one also sends the policy as a header and
the types the module and the WebAssembly need, whatever /etc/mime.types
says. The tests import serve() from here.
"""
import functools
import http.server
import sys
import threading

POLICY = ("default-src 'self'; script-src 'self' 'wasm-unsafe-eval'; worker-src 'self'; manifest-src 'self'; "
          "base-uri 'none'; form-action 'none'")


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8',
        '.js': 'text/javascript; charset=utf-8', '.mjs': 'text/javascript; charset=utf-8',
        '.wasm': 'application/wasm', '.svg': 'image/svg+xml', '.png': 'image/png',
        '.webmanifest': 'application/manifest+json', '': 'application/octet-stream',
    }

    def end_headers(self):
        self.send_header('Content-Security-Policy', POLICY)
        self.send_header('X-Content-Type-Options', 'nosniff')
        super().end_headers()

    def log_message(self, format, *args):
        if self.server.quiet:
            return
        super().log_message(format, *args)


def serve(folder, port=0, quiet=True):
    """Starts serving in a thread of its own; returns the server (its
    server_address holds the port) for shutdown()."""
    server = http.server.ThreadingHTTPServer(('127.0.0.1', port), functools.partial(Handler, directory=folder))
    server.quiet = quiet
    server.daemon_threads = True
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__.strip())
    server = serve(sys.argv[1], int(sys.argv[2]) if len(sys.argv) == 3 else 0, quiet=False)
    print(f'The page is at http://127.0.0.1:{server.server_address[1]}/ (Control+C stops it).', flush=True)
    try:
        threading.Event().wait()
    except KeyboardInterrupt:
        server.shutdown()


if __name__ == '__main__':
    main()
