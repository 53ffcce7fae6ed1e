"""hostile_server.py PORT_FILE: a server that misbehaves by path, for the
browser stand-in's end-to-end runs.

  /silent/      accepts and reads the request, never answers
  /trickle/     a page's head at once, then its body one byte a second
  /slowhead/    a whole page, one byte a second
  /loop/        redirects to itself, for ever
  /js/          a page whose plug-in content aborts to a javascript: address;
                the page ends where the server closes, the content is chunked
"""
import os
import socketserver
import sys
import time

MIME = "application/x-velkor-versioning"
PAGE = ('<html><body><embed src="manifest" type="%s" width="240" height="60"></body></html>'
        % MIME).encode()


def answer(status, body, headers=(), framing="length"):
    """The whole answer, its body framed by a length, by the server's close
    or (HTTP/1.1) in two chunks."""
    version = "HTTP/1.1" if framing == "chunked" else "HTTP/1.0"
    head = "%s %s\r\n" % (version, status) + "".join("%s: %s\r\n" % h for h in headers)
    if framing == "chunked":
        chunks = b"".join(b"%x\r\n%s\r\n" % (len(c), c) for c in (body[:7], body[7:], b""))
        return (head + "Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n").encode() + chunks
    if framing == "close":
        return (head + "\r\n").encode() + body
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
                self.wfile.write(answer("200 OK", PAGE, [("Content-Type", "text/html")], "close"))
            elif path == "/js/manifest":
                self.wfile.write(answer("200 OK", b"ABORT;javascript:alert(1)\n", [("Content-Type", MIME)],
                                        "chunked"))
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
