"""The reference server where the end-to-end runs do not take it: bad or
incomplete reports, names the report escapes, its command line, its
application under a strict WSGI checker, HTTPS, error bodies that echo
nothing, and pages of other sites turned away."""
import http.client
import io
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import unittest
from types import SimpleNamespace
from wsgiref.validate import validator

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "server"))
sys.path.insert(0, os.path.join(TOP, "harness"))
import players  # noqa: E402
import vkserver  # noqa: E402
from catalogue import CatalogueError, load  # noqa: E402
from report import ReportError, compare, parse_report  # noqa: E402

FORM = "application/x-www-form-urlencoded"


def plugin_report(pairs):  # the body exactly as the plug-in builds it
    versions = b";".join(n.replace(" ", "+").encode("latin-1") + b"=" + p.encode()
                         for n, p in pairs)
    return b"junk=1&number=%d&versions" % len(pairs) + (b"=" + versions if pairs else b"") + b"\0"


class ReferenceServer(unittest.TestCase):
    def test_reports_are_read_as_the_plugin_writes_them(self):
        self.assertEqual(parse_report(plugin_report([("a b=c", "1")])), [("a+b=c", "1")])
        self.assertEqual(parse_report(b"junk=1&number=0&versions\0"), [])
        for body, reason in [
                (b"junk=1&number=1&versions=a=1", "zero byte"),
                (b"junk=1&number=1&ver\0sions=a=1\0", "before its end"),
                (b"number=1&versions=a=1\0", "does not begin"),
                (b"junk=1&number=1\0", "no '&versions' part"),
                (b"junk=1&number=x&versions=a=1\0", "not a number"),
                (b"junk=1&number=2&versions=a=1\0", "counts 2 objects but carries 1"),
                (b"junk=1&number=1&versions=a1\0", "not name=fingerprint"),
                (b"junk=1&number=1&versions=a=12x\0", "not digits")]:
            with self.subTest(body=body):
                with self.assertRaises(ReportError) as caught:
                    parse_report(body)
                self.assertIn(reason, str(caught.exception))

    def test_names_match_in_the_form_the_report_sends_them(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        names = ["c++.dat", "a b+c.dat", "x+y.dat"]
        os.makedirs(os.path.join(work.name, "iplus"))
        for i, name in enumerate(names + ["a+b c.dat"]):
            with open(os.path.join(work.name, "iplus", name), "wb") as f:
                f.write(b"x" * (i + 1))

        def catalogue(lines):
            path = os.path.join(work.name, "catalogue.ini")
            with open(path, "w") as f:
                f.write("[iplus]\nfiles =\n" + "".join("    %s\n" % l for l in lines))
            return load(path, work.name)["iplus"]

        game = catalogue(names)
        good = [(n, game.expected[n]) for n in names]
        self.assertEqual(compare(game, parse_report(plugin_report(good)))[0], True)
        swapped = [(n, game.expected[names[1 - i]] if i < 2 else p) for i, (n, p) in enumerate(good)]
        self.assertEqual(compare(game, parse_report(plugin_report(swapped)))[0], False)
        with self.assertRaisesRegex(CatalogueError, "reported alike"):
            catalogue(["a b+c.dat", "a+b c.dat"])

    def test_command_line(self):
        taken = socket.socket()
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        self.addCleanup(taken.close)
        server = os.path.join(TOP, "tools", "server", "vkserver.py")
        run = subprocess.run([sys.executable, server, "--port", str(taken.getsockname()[1])],
                             capture_output=True, text=True, timeout=30)
        self.assertEqual((run.returncode, run.stderr.count("\n")), (1, 1), run.stderr)
        self.assertIn("cannot listen on 127.0.0.1:%d" % taken.getsockname()[1], run.stderr)
        run = subprocess.run([sys.executable, server, "--help"], capture_output=True, text=True, timeout=30)
        self.assertIn("on the Python\nstandard library alone.", run.stdout)

    def service(self, cut=None):  # the application on the sample; what it logs in self.logged
        options = SimpleNamespace(command=None, command_at="manifest", cut=cut)
        self.games = vkserver.load(vkserver.SAMPLE + "/catalogue.ini", vkserver.SAMPLE + "/release")
        self.logged = []
        return vkserver.Service(options, self.games, self.logged.append)

    def serve(self, tls=None):
        server = vkserver.Server(("127.0.0.1", 0), self.service(), tls)
        threading.Thread(target=server.serve_forever, args=(0.05,), daemon=True).start()
        self.addCleanup(lambda: (server.shutdown(), server.server_close()))
        return self.games, server.server_address[1]

    def test_the_application_keeps_to_wsgi(self):
        app = validator(self.service(cut="manifest"))
        for method, path, body, status in [
                ("GET", "/irampart", b"", "301 Moved Permanently"),
                ("GET", "/irampart/manifest.velkor", b"", "200 OK"),  # cut: half of what is announced
                ("POST", "/irampart/ret_objects", b"junk=1&number=0&versions\0", "200 OK"),
                ("PUT", "/irampart/", b"", "405 Method Not Allowed")]:
            with self.subTest(method=method, path=path):
                environ = {"REQUEST_METHOD": method, "SCRIPT_NAME": "", "PATH_INFO": path,
                           "QUERY_STRING": "", "SERVER_NAME": "127.0.0.1", "SERVER_PORT": "80",
                           "SERVER_PROTOCOL": "HTTP/1.0", "CONTENT_LENGTH": str(len(body)),
                           "CONTENT_TYPE": FORM, "wsgi.input": io.BytesIO(body),
                           "wsgi.errors": sys.stderr, "wsgi.version": (1, 0), "wsgi.url_scheme": "http",
                           "wsgi.multithread": True, "wsgi.multiprocess": False, "wsgi.run_once": False}
                started = []
                result = app(environ, lambda status, headers, exc_info=None: started.append((status, headers)))
                sent = b"".join(result)
                result.close()
                self.assertEqual(started[0][0], status)
                if path.endswith("manifest.velkor"):
                    self.assertEqual(int(dict(started[0][1])["Content-Length"]), 2 * len(sent))

    def test_https_with_a_certificate_of_its_own(self):
        work = tempfile.TemporaryDirectory()
        self.addCleanup(work.cleanup)
        cert, key = os.path.join(work.name, "cert.pem"), os.path.join(work.name, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True, timeout=60)
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(cert, key)
        _, port = self.serve(tls)
        # A client that connects and never greets holds up nobody else.
        idle = socket.create_connection(("127.0.0.1", port))
        self.addCleanup(idle.close)
        plain = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        with self.assertRaises((http.client.HTTPException, OSError)):
            plain.request("GET", "/irampart/")
            plain.getresponse()
        plain.close()
        trusting = ssl.create_default_context(cafile=cert)
        secure = http.client.HTTPSConnection("127.0.0.1", port, timeout=10, context=trusting)
        secure.request("GET", "/irampart/")
        reply = secure.getresponse()
        self.assertEqual((reply.status, b"manifest.velkor" in reply.read()), (200, True))
        secure.close()
        self.assertTrue(any("TLS handshake failed" in line for line in self.logged), self.logged)
        run = subprocess.run([sys.executable, os.path.join(TOP, "tools", "server", "vkserver.py"),
                              "--tls-cert", cert], capture_output=True, text=True, timeout=30)
        self.assertEqual((run.returncode, run.stderr), (2, "vkserver: --tls-cert and --tls-key go together\n"))

    def test_fifty_players_at_once(self):
        # Each exchange on a connection of its own, as the browser makes them:
        # the accept queue holds fifty connects that arrive together.
        _, port = self.serve()
        result = players.run_load(port, players.plans(200), 50, timeout=20, time_limit=40)
        self.assertEqual((result["done"], result["error"], result["wrong"]), (200, 0, 0), result["latencies"][-5:])

    def test_answers_over_http(self):
        games, port = self.serve()
        good = [(line, games["irampart"].expected[line]) for line in games["irampart"].lines]
        for game, pairs, cut, kind, status, answer, logged in [
                ("irampart", good[:-1], 0, FORM, 200, b"REDIRECT;update.html\n", "files differ"),  # one missing
                ("irampart", good + [("x.dll", "1")], 0, FORM, 200, b"REDIRECT;update.html\n", "files differ"),
                ("irampart", good, 1, FORM, 400, b"malformed version report\n", "does not end with its zero byte"),
                ("irampart", [], 0, "text/plain", 400, b"malformed version report\n", "Content-Type is 'text/plain'"),
                ("inosuchgame", [], 0, FORM, 404, b"no such game or page\n", "nothing to post to")]:
            with self.subTest(pairs=pairs, cut=cut, kind=kind):
                body = plugin_report(pairs)
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                connection.request("POST", "/%s/ret_objects" % game, body,
                                   {"Content-Type": kind, "Content-Length": str(len(body) - cut)})
                reply = connection.getresponse()
                self.assertEqual((reply.status, reply.read()), (status, answer))
                self.assertIn(logged, self.logged[-1])
                connection.close()
        for path, location in [("/irampart", "/irampart/"), ("/irampart?x=1", "/irampart/?x=1")]:
            with self.subTest(path=path):  # relative addresses need the slash
                connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
                connection.request("GET", path)
                reply = connection.getresponse()
                self.assertEqual((reply.status, reply.getheader("Location")), (301, location))
                connection.close()

    def fetch(self, port, method, path, headers=(), body=b""):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        self.addCleanup(connection.close)
        connection.request(method, path, body, dict(headers))
        reply = connection.getresponse()
        return reply.status, reply.getheader("Content-Type"), reply.read()

    def test_no_error_body_echoes_the_request(self):
        # What a hostile page would have a plug-in take for launch arguments.
        bait = "-connect evil.example:7000"
        quoted = bait.replace(" ", "%20")
        _, port = self.serve()
        for method, path, headers, status in [
                ("GET", "/%s/" % quoted, {}, 404),
                ("GET", "/irampart/%s" % quoted, {}, 404),
                ("GET", "/irampart/x?%s" % quoted, {}, 404),
                ("POST", "/irampart/%s" % quoted, {"Content-Length": "0"}, 404),
                ("POST", "/irampart/ret_objects", {"Content-Length": quoted}, 400),
                ("POST", "/irampart/ret_objects", {"Content-Type": bait, "Content-Length": "0"}, 400),
                ("PUT", "/irampart/?" + quoted, {"Content-Length": "0"}, 405),
                ("GET", "/irampart/manifest.velkor", {"Referer": "http://evil.example/" + quoted}, 403)]:
            with self.subTest(method=method, path=path, headers=headers):
                got, kind, body = self.fetch(port, method, path, headers)
                self.assertEqual((got, kind), (status, "text/plain"))
                self.assertNotIn(b"evil", body)
                self.assertNotIn(b"7000", body)
                self.assertIn("evil", self.logged[-1])  # the reason is in the log
        # The redirect's body shows the address it names, escaped.
        got, _, body = self.fetch(port, "GET", "/irampart?a=<b>&c='d'")
        self.assertEqual(got, 301)
        self.assertIn(b"/irampart/?a=&lt;b&gt;&amp;c=&#x27;d&#x27;", body)
        self.assertNotIn(b"<b>", body)

    def test_pages_of_other_sites_are_refused(self):
        games, port = self.serve()
        own = "http://127.0.0.1:%d" % port
        good = plugin_report([(line, games["irampart"].expected[line]) for line in games["irampart"].lines])
        manifest, report = ("GET", "/irampart/manifest.velkor"), ("POST", "/irampart/ret_objects")
        for (method, path), headers, status in [
                (manifest, {}, 200),
                (manifest, {"Referer": own + "/irampart/"}, 200),
                (manifest, {"Referer": own.upper() + "/x?y#z", "Origin": own}, 200),
                (manifest, {"Referer": "http://127.0.0.1:%d/attack.html" % (port + 1)}, 403),
                (manifest, {"Referer": "http://evil.example/"}, 403),
                (manifest, {"Referer": "https://127.0.0.1/"}, 403),
                (manifest, {"Referer": "/irampart/"}, 403),
                (manifest, {"Origin": "null"}, 403),
                (manifest, {"Origin": "http://evil.example", "Referer": own + "/"}, 403),
                (report, {"Referer": own + "/irampart/"}, 200),
                (report, {}, 200),
                (report, {"Referer": "http://evil.example/irampart/"}, 403),
                (report, {"Origin": "http://evil.example"}, 403),
                # pages are anyone's to link to
                (("GET", "/irampart/"), {"Referer": "http://evil.example/"}, 200)]:
            with self.subTest(path=path, headers=headers):
                body = good if method == "POST" else b""
                headers = dict(headers, **{"Content-Type": FORM, "Content-Length": str(len(body))})
                got, _, _ = self.fetch(port, method, path, headers, body)
                self.assertEqual(got, status)
                if status == 403:
                    self.assertRegex(self.logged[-1], r"-> 403, .*; refused: (Referer|Origin) .* names "
                                                      r"another site than the Host '127\.0\.0\.1:%d'" % port)

    def test_the_host_a_front_server_passes_on(self):
        # Behind a front server the Host is the player's: default ports
        # named or not, in any case.
        app = self.service()
        for host, referer, status in [
                ("games.example", "https://games.example/irampart/", "200 OK"),
                ("Games.Example:443", "https://games.example/irampart/", "200 OK"),
                ("games.example:8443", "https://GAMES.example:8443/", "200 OK"),
                ("games.example", "https://games.example:8443/", "403 Forbidden"),
                ("games.example:8443", "https://games.example/", "403 Forbidden"),
                ("games.example", "https://evil.example/", "403 Forbidden")]:
            with self.subTest(host=host, referer=referer):
                environ = {"REQUEST_METHOD": "GET", "PATH_INFO": "/irampart/manifest.velkor",
                           "HTTP_HOST": host, "HTTP_REFERER": referer}
                started = []
                app(environ, lambda status, headers: started.append(status))
                self.assertEqual(started, [status])


if __name__ == "__main__":
    unittest.main()
