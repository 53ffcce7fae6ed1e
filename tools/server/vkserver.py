#!/usr/bin/env python3
"""vkserver: a reference server for the Velkor version check, on the Python
standard library alone.

For every game of its catalogue it serves a page that embeds the plug-in
(/<game>/, to which /<game> redirects), the manifest stream
(/<game>/manifest.velkor), and takes the version report at
/<game>/ret_objects: launch arguments when every fingerprint matches,
"REDIRECT;update.html" when some do not. Switches make it answer "ABORT;"
or "LAUNCH_NOW;" instead, or cut a stream off half-way. Every request is
logged; malformed reports are refused, with the reason in the log. A
manifest or report request whose Referer (or Origin) names another site
than its own Host is refused with 403: the plug-in cannot see the page that
embeds it, so a page of another site is turned away here. No text of a
request is ever sent back in an answer's body.

The service is a WSGI application (make_app), which any WSGI server can run
behind a front server; run as a program it serves HTTP, or HTTPS with
--tls-cert and --tls-key, itself."""

import argparse
import html
import os
import urllib.parse
import socketserver
import ssl
import sys
import threading
import time
from http import HTTPStatus
from wsgiref.simple_server import WSGIRequestHandler, WSGIServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from catalogue import CatalogueError, load  # noqa: E402
from report import ReportError, compare, parse_report  # noqa: E402

MIME = "application/x-velkor-versioning"
HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(os.path.dirname(HERE), "sample")
TRAILER = b"\n"      # the last byte of every stream, which the plug-in overwrites
MAX_REPORT = 1 << 20
# The bodies of refusals: fixed texts, so that nothing a request carries
# comes back in an answer (a browser may hand an error page to a plug-in).
REFUSALS = {
    400: "malformed version report\n",
    403: "refused: the request comes from a page of another site\n",
    404: "no such game or page\n",
    405: "only GET and POST are served\n",
}
DEFAULT_PORTS = {"http": "80", "https": "443"}


def site_of(address):
    """host[:port] of an absolute address, lower case, without its scheme's
    default port; None when it is no http(s) address."""
    try:
        parts = urllib.parse.urlsplit(address)
        host, port = parts.hostname, parts.port
    except ValueError:
        return None
    if parts.scheme.lower() not in DEFAULT_PORTS or not host:
        return None
    if ":" in host:
        host = "[%s]" % host
    return host if port is None or str(port) == DEFAULT_PORTS[parts.scheme.lower()] \
        else "%s:%d" % (host, port)


def request_site(environ):
    """The request's own host[:port] from its Host (or the server's name),
    lower case, without a default port."""
    host = environ.get("HTTP_HOST") or "%s:%s" % (environ.get("SERVER_NAME", ""),
                                                   environ.get("SERVER_PORT", ""))
    host = host.strip().lower()
    name, colon, port = host.rpartition(":")
    if colon and port in DEFAULT_PORTS.values() and "]" not in port:
        return name
    return host


def page(title, body):
    return ("<html><head><title>%s</title></head><body><h1>%s</h1>%s</body></html>\n"
            % (html.escape(title), html.escape(title), body)).encode()


class Log:
    """Time-stamped lines on standard error and, when given, in a file."""

    def __init__(self, path=None):
        self.lock = threading.Lock()
        self.file = open(path, "a", encoding="utf-8") if path else None

    def __call__(self, text):
        stamp = time.strftime("%H:%M:%S")
        with self.lock:
            for line in text.splitlines():
                print("%s %s" % (stamp, line), file=sys.stderr, flush=True)
                if self.file:
                    self.file.write("%s %s\n" % (stamp, line))
                    self.file.flush()


class Service:
    """The WSGI application: any WSGI server can run it behind a front
    server. options carries command, command_at and cut as the switches
    set them."""

    def __init__(self, options, games, log):
        self.options = options
        self.games = games
        self.log = log

    def __call__(self, environ, start_response):
        path = environ.get("SCRIPT_NAME", "") + environ.get("PATH_INFO", "") or "/"
        query = environ.get("QUERY_STRING", "")
        request = Request(self, environ, path, query, start_response)
        if environ["REQUEST_METHOD"] == "GET":
            return request.get()
        if environ["REQUEST_METHOD"] == "POST":
            return request.post()
        return request.refuse(405, "only GET and POST are served")


class Request:
    def __init__(self, service, environ, path, query, start_response):
        self.service, self.environ, self.path, self.query = service, environ, path, query
        self.start_response = start_response
        self.shown = path + ("?" + query if query else "")
        parts = path.strip("/").split("/", 1)
        self.game = service.games.get(parts[0]) if parts[0] else None
        self.rest = parts[1] if len(parts) > 1 else ""

    def send(self, status, body, content_type="text/html", note="", cut=False, headers=()):
        announced = len(body)
        if cut:
            body = body[: len(body) // 2]
        self.start_response("%d %s" % (status, HTTPStatus(status).phrase),
                            list(headers) + [("Content-Type", content_type),
                                             ("Content-Length", str(announced))])
        outcome = "%d, %d bytes" % (status, announced)
        if cut:
            outcome += ", CUT OFF after %d bytes" % len(body)
        self.service.log("%s %s -> %s%s" % (self.environ["REQUEST_METHOD"], self.shown, outcome,
                                             ("; " + note) if note else ""))
        return [body]

    def refuse(self, status, reason):
        """A fixed body for the status; the reason, which may quote the
        request, goes to the log only."""
        return self.send(status, REFUSALS[status].encode(), "text/plain", "refused: " + reason)

    def foreign_page(self):
        """Why the request comes from another site's page, by its Referer
        or Origin; "" when it does not say or names this site."""
        own = request_site(self.environ)
        for header in ("HTTP_ORIGIN", "HTTP_REFERER"):
            named = self.environ.get(header)
            if named is None:
                continue
            site = site_of(named)
            if site != own:
                return "%s %r names another site than the Host %r" % (
                    header[5:].title(), named[:200], own)
        return ""

    def command_stream(self):
        if self.service.options.command == "abort":
            return b"ABORT;maintenance.html" + TRAILER
        return ("LAUNCH_NOW;%s;%s" % (self.game.name, self.game.launch)).encode("latin-1") + TRAILER

    def get(self):
        options, game, rest = self.service.options, self.game, self.rest
        if self.path == "/":
            items = "".join('<li><a href="/%s/">%s</a> (%s)</li>' % (g.name, html.escape(g.title), g.name)
                            for g in self.service.games.values())
            return self.send(200, page("Velkor Games Online", "<ul>%s</ul>" % items))
        if game is None:
            return self.refuse(404, "no such game or page: %s" % self.shown)
        if self.path == "/" + game.name:
            # The page's relative addresses need the slash: without it
            # "manifest.velkor" would resolve to /manifest.velkor.
            where = "/%s/%s" % (game.name, "?" + self.query if self.query else "")
            shown = html.escape(where)
            return self.send(301, page("Moved", '<a href="%s">%s</a>' % (shown, shown)),
                             note="to " + where, headers=[("Location", where)])
        if rest in ("", "check.html"):
            embed = '<embed src="manifest.velkor" type="%s" width="240" height="60">' % MIME
            return self.send(200, page("Checking %s" % game.title, "<p>Checking your files...</p>" + embed))
        if rest == "manifest.velkor":
            foreign = self.foreign_page()
            if foreign:
                return self.refuse(403, foreign)
            if options.command and options.command_at == "manifest":
                return self.send(200, self.command_stream(), MIME, "sent %s" % options.command,
                                 cut=options.cut == "manifest")
            stream = (game.name + ";" + "".join(line + "\n" for line in game.lines)).encode("latin-1")
            return self.send(200, stream + TRAILER, MIME, "manifest of %d files" % len(game.lines),
                             cut=options.cut == "manifest")
        texts = {
            "index.html": ("%s is starting" % game.title, "<p>The client launcher has started.</p>"),
            "update.html": ("Update %s" % game.title, "<p>Some of your files are out of date; "
                            "download the new version here.</p>"),
            "maintenance.html": ("Down for maintenance", "<p>Please come back later.</p>"),
        }
        if rest in texts:
            return self.send(200, page(*texts[rest]))
        return self.refuse(404, "no such page: %s" % self.shown)

    def post(self):
        options, game = self.service.options, self.game
        if game is None or self.rest != "ret_objects":
            return self.refuse(404, "nothing to post to at %s" % self.shown)
        length_text = self.environ.get("CONTENT_LENGTH") or None
        if length_text is None or not length_text.strip().isdigit():
            return self.refuse(400, "the report has no usable Content-Length (%r)" % length_text)
        length = int(length_text)
        if length > MAX_REPORT:
            return self.refuse(400, "the report's Content-Length %d is too large" % length)
        # Read before judging: closing on unread bytes would reset the
        # connection and lose the refusal on its way to the browser.
        body = self.environ["wsgi.input"].read(length)
        if len(body) != length:
            return self.refuse(400, "the report's Content-Length is %d but only %d bytes arrived"
                               % (length, len(body)))
        foreign = self.foreign_page()
        if foreign:
            return self.refuse(403, foreign)
        content_type = (self.environ.get("CONTENT_TYPE") or "").split(";")[0].strip()
        if content_type != "application/x-www-form-urlencoded":
            return self.refuse(400, "the report's Content-Type is %r, not application/x-www-form-urlencoded"
                               % content_type)
        try:
            entries = parse_report(body)
        except ReportError as error:
            return self.refuse(400, "malformed report: %s" % error)
        match, lines = compare(game, entries)
        self.service.log("report for %s, %d entries:\n%s" % (game.name, len(entries),
                                                              "\n".join("    " + l for l in lines)))
        cut = options.cut == "answer"
        if options.command and options.command_at == "answer":
            return self.send(200, self.command_stream(), MIME, "sent %s" % options.command, cut=cut)
        if match:
            answer = game.launch.encode("latin-1")
            return self.send(200, answer + TRAILER, MIME, "all files match: launch", cut=cut)
        return self.send(200, b"REDIRECT;update.html" + TRAILER, MIME, "files differ: redirect", cut=cut)


class Handler(WSGIRequestHandler):
    def log_request(self, code="-", size="-"):
        pass  # the service logs every request with its outcome

    def log_message(self, format, *args):
        # Only requests the library itself turns away get here.
        self.server.log("%s: %s" % (self.client_address[0], format % args))


class Server(socketserver.ThreadingMixIn, WSGIServer):
    """The built-in server: one thread per connection, HTTP/1.0, and TLS
    when given a context. The handshake is made in the connection's own
    thread, so a client that never finishes it holds up no other."""
    daemon_threads = True
    # Python's default of 5 waiting connections drops players' connects when
    # fifty arrive at once: they wait for the kernel's retry, or time out.
    request_queue_size = 128

    def __init__(self, address, service, tls=None):
        super().__init__(address, Handler)
        self.set_app(service)
        self.log = service.log
        self.tls = tls

    def finish_request(self, request, client_address):
        if not self.tls:
            return super().finish_request(request, client_address)
        try:
            request = self.tls.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError) as error:
            self.log("%s: TLS handshake failed: %s" % (client_address[0], error))
            return
        try:
            super().finish_request(request, client_address)
        finally:
            request.close()  # the plain socket that the server closes is no longer it


def make_app(argv=()):
    """The service for a WSGI server of the operator's choice, with the
    switches of the command line (those that are not about listening)."""
    options = parser().parse_args(list(argv))
    return Service(options, load(options.catalogue, options.release), Log(options.log))


def parser():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8080, help="0 picks a free port")
    parser.add_argument("--port-file", help="write the port here once listening")
    parser.add_argument("--tls-cert", help="serve HTTPS with this certificate (PEM; the chain after it)")
    parser.add_argument("--tls-key", help="the certificate's private key (PEM)")
    parser.add_argument("--catalogue", default=os.path.join(SAMPLE, "catalogue.ini"),
                        help="the games, their launch arguments and manifest lines (default: the sample's)")
    parser.add_argument("--release", default=os.path.join(SAMPLE, "release"),
                        help="reference copies of the current files")
    parser.add_argument("--command", choices=["abort", "launch-now"],
                        help='answer "ABORT;maintenance.html" or "LAUNCH_NOW;game;arguments"')
    parser.add_argument("--command-at", choices=["manifest", "answer"], default="manifest",
                        help="which stream carries the command (default: the manifest)")
    parser.add_argument("--cut", choices=["manifest", "answer"],
                        help="close the connection half-way through this stream")
    parser.add_argument("--log", help="also append the log to this file")
    return parser


def main():
    options = parser().parse_args()
    if bool(options.tls_cert) != bool(options.tls_key):
        print("vkserver: --tls-cert and --tls-key go together", file=sys.stderr)
        return 2
    try:
        games = load(options.catalogue, options.release)
    except CatalogueError as error:
        print("vkserver: %s" % error, file=sys.stderr)
        return 2
    tls = None
    if options.tls_cert:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        try:
            tls.load_cert_chain(options.tls_cert, options.tls_key)
        except (OSError, ssl.SSLError) as error:
            print("vkserver: cannot use %s and %s: %s" % (options.tls_cert, options.tls_key, error),
                  file=sys.stderr)
            return 2
    log = Log(options.log)
    try:
        server = Server((options.host, options.port), Service(options, games, log), tls)
    except OSError as error:
        print("vkserver: cannot listen on %s:%d: %s" % (options.host, options.port,
                                                        error.strerror or error), file=sys.stderr)
        return 1
    port = server.server_address[1]
    log("vkserver listening on %s://%s:%d/ with %d games (%s)%s%s"
        % ("https" if tls else "http", options.host, port, len(games), ", ".join(games),
           "; command %s in the %s" % (options.command, options.command_at) if options.command else "",
           "; cutting the %s" % options.cut if options.cut else ""))
    for game in games.values():
        for line in game.lines:
            log("    %s %s = %s" % (game.name, line, game.expected[line]))
    if options.port_file:
        with open(options.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(options.port_file + ".tmp", options.port_file)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
