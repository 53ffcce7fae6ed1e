"""hostile_server.py PORT_FILE: a server that misbehaves by path, for the
browser stand-in's end-to-end runs.

  /silent/      accepts and reads the request, never answers
  /trickle/     a page's head at once, then its body one byte a second
  /slowhead/    a whole page, one byte a second
  /loop/        redirects to itself, for ever
  /js/          a page whose plug-in content aborts to a javascript: address
"""
import os
import socketserver
import sys
import time

MIME = "application/x-velkor-versioning"
PAGE = ('<html><body><embed src="manifest" type="%s" width="240" height="60"></body></html>'
        % MIME).encode()


def answer(status, body, headers=()):
    head = "HTTP/1.0 %s\r\n" % status + "".join("%s: %s\r\n" % h for h in headers)
    return (head + "Content-Length: %d\r\n\r\n" % len(body)).encode() + body


class Handler(socketserver.StreamRequestHandler):
    def handle(self):
        request = self.rfile.readline().decode("latin-1").split()
        while self.rfile.readline() not in (b"\r\n", b"\n", b""):
            pass
        path = request[1] if len(request) > 1 else ""
        try:
            if path == "/silent/":
                time.sleep(60)  # the browser gives up first and closes
            elif path in ("/trickle/", "/slowhead/"):
                whole = answer("200 OK", PAGE, [("Content-Type", "text/html")])
                at = whole.index(b"\r\n\r\n") + 4 if path == "/trickle/" else 0
                self.wfile.write(whole[:at])
                for byte in whole[at:]:
                    self.wfile.write(bytes([byte]))
                    self.wfile.flush()
                    time.sleep(1)
            elif path == "/loop/":
                self.wfile.write(answer("302 Found", b"", [("Location", "/loop/")]))
            elif path == "/js/":
                self.wfile.write(answer("200 OK", PAGE, [("Content-Type", "text/html")]))
            elif path == "/js/manifest":
                self.wfile.write(answer("200 OK", b"ABORT;javascript:alert(1)\n", [("Content-Type", MIME)]))
            else:
                self.wfile.write(answer("404 Not Found", b"no such page\n"))
        except OSError:
            pass  # the browser hung up, as it should


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


if __name__ == "__main__":
    server = Server(("127.0.0.1", 0), Handler)
    with open(sys.argv[1] + ".tmp", "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(sys.argv[1] + ".tmp", sys.argv[1])
    server.serve_forever()
