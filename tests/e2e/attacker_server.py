"""attacker_server.py PORT_FILE LOG TRUSTED: another site's server, whose
pages embed the plug-in's content from the trusted server TRUSTED
(scheme://host:port), for the end-to-end runs. Every request it gets is a
line of LOG, so a run shows whether the plug-in ever sent the player here.

  /embed.html     embeds TRUSTED's manifest, asking for no Referer
  /redirect.html  the same through /to-manifest, which redirects there
  /html.html      embeds TRUSTED's HTML page as the plug-in's content
  /referer.html   embeds TRUSTED's manifest, Referer sent as usual
  anything else   a page of its own (where the attacker would want players)
"""
import http.server
import os
import sys

MIME = "application/x-velkor-versioning"


def page(src, referrer=True):
    meta = "" if referrer else '<meta name="referrer" content="no-referrer">'
    return ('<html><head>%s<title>Free gold</title></head><body>'
            '<embed src="%s" type="%s" width="240" height="60"></body></html>\n'
            % (meta, src, MIME)).encode()


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        trusted = self.server.trusted
        manifest = trusted + "/irampart/manifest.velkor"
        with open(self.server.log_path, "a") as log:
            log.write("%s %s Referer=%s\n" % (self.command, self.path, self.headers.get("Referer")))
        if self.path == "/to-manifest":
            self.send_response(302)
            self.send_header("Location", manifest)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        body = {
            "/embed.html": page(manifest, referrer=False),
            "/redirect.html": page("/to-manifest", referrer=False),
            "/html.html": page(trusted + "/irampart/index.html", referrer=False),
            "/referer.html": page(manifest),
        }.get(self.path, b"<html><body>the attacker's own page</body></html>\n")
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_POST = do_GET

    def log_message(self, format, *args):
        pass


def main():
    port_file, log_path, trusted = sys.argv[1:4]
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.log_path, server.trusted = log_path, trusted
    with open(port_file + ".tmp", "w") as f:
        f.write("%d\n" % server.server_address[1])
    os.replace(port_file + ".tmp", port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
