#!/usr/bin/env python3
"""vkserver: a reference server for the Velkor version check, on the Python
standard library alone.

For every game of its catalogue it serves a page that embeds the plug-in
(/<game>/, to which /<game> redirects), the manifest stream
(/<game>/manifest.velkor), and takes the version report at
/<game>/ret_objects: launch arguments when every fingerprint matches,
"REDIRECT;update.html" when some do not. Switches make it answer "ABORT;"
or "LAUNCH_NOW;" instead, or cut a stream off half-way. Every request is
logged; malformed reports are refused with a reason."""

import argparse
import html
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from catalogue import CatalogueError, load  # noqa: E402
from report import ReportError, compare, parse_report  # noqa: E402

MIME = "application/x-velkor-versioning"
HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLE = os.path.join(os.path.dirname(HERE), "sample")
TRAILER = b"\n"      # the last byte of every stream, which the plug-in overwrites
MAX_REPORT = 1 << 20


def page(title, body):
    return ("<html><head><title>%s</title></head><body><h1>%s</h1>%s</body></html>\n"
            % (html.escape(title), html.escape(title), body)).encode()


class Server(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, options, games):
        super().__init__(address, Handler)
        self.options = options
        self.games = games
        self.log_lock = threading.Lock()
        self.log_file = open(options.log, "a", encoding="utf-8") if options.log else None

    def log(self, text):
        stamp = time.strftime("%H:%M:%S")
        with self.log_lock:
            for line in text.splitlines():
                print("%s %s" % (stamp, line), file=sys.stderr, flush=True)
                if self.log_file:
                    self.log_file.write("%s %s\n" % (stamp, line))
                    self.log_file.flush()


class Handler(BaseHTTPRequestHandler):
    server_version = "vkserver/1.0"
    protocol_version = "HTTP/1.0"

    def log_message(self, format, *args):
        # Only requests the library itself turns away get here (send() logs
        # the others with their outcome).
        self.server.log("%s: %s" % (self.client_address[0], format % args))

    def send(self, status, body, content_type="text/html", note="", cut=False, headers=()):
        announced = len(body)
        if cut:
            body = body[: len(body) // 2]
        self.send_response_only(status)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(announced))
        self.end_headers()
        self.wfile.write(body)
        self.wfile.flush()
        outcome = "%d, %d bytes" % (status, announced)
        if cut:
            outcome += ", CUT OFF after %d bytes" % len(body)
        self.server.log("%s %s -> %s%s" % (self.command, self.path, outcome, ("; " + note) if note else ""))
        self.close_connection = True

    def refuse(self, status, reason):
        self.send(status, (reason + "\n").encode(), "text/plain", "refused: " + reason)

    def route(self):
        """(game or None, the rest of the path)."""
        path = self.path.split("?", 1)[0]
        parts = path.strip("/").split("/", 1)
        if not parts[0]:
            return None, ""
        game = self.server.games.get(parts[0])
        return game, parts[1] if len(parts) > 1 else ""

    def command_stream(self, game):
        if self.server.options.command == "abort":
            return b"ABORT;maintenance.html" + TRAILER
        return ("LAUNCH_NOW;%s;%s" % (game.name, game.launch)).encode("latin-1") + TRAILER

    def do_GET(self):
        options = self.server.options
        game, rest = self.route()
        if self.path.split("?", 1)[0] == "/":
            items = "".join('<li><a href="/%s/">%s</a> (%s)</li>' % (g.name, html.escape(g.title), g.name)
                            for g in self.server.games.values())
            return self.send(200, page("Velkor Games Online", "<ul>%s</ul>" % items))
        if game is None:
            return self.refuse(404, "no such game or page: %s" % self.path)
        path, query = (self.path.split("?", 1) + [""])[:2]
        if path == "/" + game.name:
            # The page's relative addresses need the slash: without it
            # "manifest.velkor" would resolve to /manifest.velkor.
            where = "/%s/%s" % (game.name, "?" + query if query else "")
            return self.send(301, page("Moved", '<a href="%s">%s</a>' % (where, where)),
                             note="to " + where, headers=[("Location", where)])
        if rest in ("", "check.html"):
            embed = '<embed src="manifest.velkor" type="%s" width="240" height="60">' % MIME
            return self.send(200, page("Checking %s" % game.title, "<p>Checking your files...</p>" + embed))
        if rest == "manifest.velkor":
            if options.command and options.command_at == "manifest":
                return self.send(200, self.command_stream(game), MIME, "sent %s" % options.command,
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
        return self.refuse(404, "no such page: %s" % self.path)

    def do_POST(self):
        options = self.server.options
        game, rest = self.route()
        if game is None or rest != "ret_objects":
            return self.refuse(404, "nothing to post to at %s" % self.path)
        length_text = self.headers.get("Content-Length")
        if length_text is None or not length_text.strip().isdigit():
            return self.refuse(400, "the report has no usable Content-Length (%r)" % length_text)
        length = int(length_text)
        if length > MAX_REPORT:
            return self.refuse(400, "the report's Content-Length %d is too large" % length)
        # Read before judging: closing on unread bytes would reset the
        # connection and lose the refusal on its way to the browser.
        body = self.rfile.read(length)
        if len(body) != length:
            return self.refuse(400, "the report's Content-Length is %d but only %d bytes arrived"
                               % (length, len(body)))
        content_type = (self.headers.get("Content-Type") or "").split(";")[0].strip()
        if content_type != "application/x-www-form-urlencoded":
            return self.refuse(400, "the report's Content-Type is %r, not application/x-www-form-urlencoded"
                               % content_type)
        try:
            entries = parse_report(body)
        except ReportError as error:
            return self.refuse(400, "malformed report: %s" % error)
        match, lines = compare(game, entries)
        self.server.log("report for %s, %d entries:\n%s" % (game.name, len(entries),
                                                            "\n".join("    " + l for l in lines)))
        cut = options.cut == "answer"
        if options.command and options.command_at == "answer":
            return self.send(200, self.command_stream(game), MIME, "sent %s" % options.command, cut=cut)
        if match:
            answer = game.launch.encode("latin-1")
            return self.send(200, answer + TRAILER, MIME, "all files match: launch", cut=cut)
        return self.send(200, b"REDIRECT;update.html" + TRAILER, MIME, "files differ: redirect", cut=cut)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--host", default="127.0.0.1", help="address to listen on (default 127.0.0.1)")
    parser.add_argument("--port", type=int, default=8080, help="0 picks a free port")
    parser.add_argument("--port-file", help="write the port here once listening")
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
    options = parser.parse_args()

    try:
        games = load(options.catalogue, options.release)
    except CatalogueError as error:
        print("vkserver: %s" % error, file=sys.stderr)
        return 2
    try:
        server = Server((options.host, options.port), options, games)
    except OSError as error:
        print("vkserver: cannot listen on %s:%d: %s" % (options.host, options.port,
                                                        error.strerror or error), file=sys.stderr)
        return 1
    port = server.server_address[1]
    server.log("vkserver listening on http://%s:%d/ with %d games (%s)%s%s"
               % (options.host, port, len(games), ", ".join(games),
                  "; command %s in the %s" % (options.command, options.command_at) if options.command else "",
                  "; cutting the %s" % options.cut if options.cut else ""))
    for game in games.values():
        for line in game.lines:
            server.log("    %s %s = %s" % (game.name, line, game.expected[line]))
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
