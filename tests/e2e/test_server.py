"""The reference server on its own: fingerprints, report reading, and its
answers over HTTP for a report made the way the plug-in makes it."""

import http.client
import os
import sys
import threading
import unittest
from types import SimpleNamespace

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "tools", "server"))

import vkserver  # noqa: E402
from catalogue import load  # noqa: E402
from fingerprint import cksum_crc  # noqa: E402
from report import ReportError, parse_report  # noqa: E402

SAMPLE = os.path.join(TOP, "tools", "sample")


def plugin_report(pairs):
    """The request body exactly as the plug-in builds it."""
    body = b"junk=1&number=%d&versions=" % len(pairs)
    for name, print_ in pairs:
        body += name.replace(" ", "+").encode("latin-1") + b"=" + print_.encode() + b";"
    return body[:-1] + b"\0"


class Fingerprints(unittest.TestCase):
    def test_cksum_values(self):
        self.assertEqual(cksum_crc(b"abc"), 1219131554)
        self.assertEqual(cksum_crc(b"a" * 1024), 2619405351)
        self.assertEqual(cksum_crc(b"a" * 2000), 1386830080)
        self.assertEqual(cksum_crc(b""), 4294967295)


class ReportReading(unittest.TestCase):
    def test_pairs_come_back_with_spaces(self):
        body = plugin_report([("a.exe", "12191315543"), ("data\\intro movie.dat", "0"), ("x=y", "7")])
        self.assertEqual(parse_report(body),
                         [("a.exe", "12191315543"), ("data\\intro movie.dat", "0"), ("x=y", "7")])

    def test_no_entries_is_25_bytes(self):
        body = plugin_report([])
        self.assertEqual(body, b"junk=1&number=0&versions\0")
        self.assertEqual(len(body), 25)
        self.assertEqual(parse_report(body), [])

    def test_malformed_reports_are_refused_with_a_reason(self):
        cases = [
            (b"", "empty"),
            (b"junk=1&number=1&versions=a=1", "zero byte"),
            (b"junk=1&number=1&ver\0sions=a=1\0", "before its end"),
            (b"number=1&versions=a=1\0", "does not begin"),
            (b"junk=1&number=1\0", "no '&versions' part"),
            (b"junk=1&number=x&versions=a=1\0", "not a number"),
            (b"junk=1&number=2&versions=a=1\0", "counts 2 objects but carries 1"),
            (b"junk=1&number=1&versions=a=1;b=2\0", "counts 1 objects but carries 2"),
            (b"junk=1&number=1&versions=a1\0", "not name=fingerprint"),
            (b"junk=1&number=1&versions=a=12x\0", "not digits"),
            (b"junk=1&number=0&versions=\0", "counts 0 objects but carries"),
        ]
        for body, reason in cases:
            with self.subTest(body=body):
                with self.assertRaises(ReportError) as caught:
                    parse_report(body)
                self.assertIn(reason, str(caught.exception))


class ServerAnswers(unittest.TestCase):
    def start(self, **switches):
        options = SimpleNamespace(command=None, command_at="manifest", cut=None, log=None)
        options.__dict__.update(switches)
        games = load(os.path.join(SAMPLE, "catalogue.ini"), os.path.join(SAMPLE, "release"))
        server = vkserver.Server(("127.0.0.1", 0), options, games)
        server.log = lambda text: None
        thread = threading.Thread(target=server.serve_forever, daemon=True)
        thread.start()
        self.addCleanup(server.server_close)
        self.addCleanup(server.shutdown)
        self.games = games
        self.port = server.server_address[1]

    def request(self, method, path, body=None, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=10)
        connection.request(method, path, body=body, headers=headers or {})
        answer = connection.getresponse()
        try:
            data = answer.read()
        except http.client.IncompleteRead as cut:
            data = cut.partial
        connection.close()
        return answer.status, answer.getheader("Content-Length"), data

    def post_report(self, game, pairs, length_delta=0):
        body = plugin_report(pairs)
        headers = {"Content-Type": "application/x-www-form-urlencoded",
                   "Content-Length": str(len(body) + length_delta)}
        return self.request("POST", "/%s/ret_objects" % game, body, headers)

    def matching(self, game):
        return [(line, self.games[game].expected[line]) for line in self.games[game].lines]

    def test_manifest_and_page(self):
        self.start()
        status, _, data = self.request("GET", "/irampart/manifest.velkor")
        self.assertEqual(status, 200)
        self.assertEqual(data, b"irampart;rampart.exe\ndata\\maps.dat\ndata\\intro movie.dat\n"
                               b"<PLUGIN>\\vkgfx.dll\n\n")
        status, _, data = self.request("GET", "/irampart/")
        self.assertIn(b'<embed src="manifest.velkor" type="application/x-velkor-versioning"', data)

    def test_matching_report_gets_the_launch_arguments(self):
        self.start()
        status, _, data = self.post_report("irampart", self.matching("irampart"))
        self.assertEqual((status, data), (200, b"-game irampart -server 127.0.0.1:7000 -ticket RR-0001\n"))

    def test_differing_missing_or_unknown_files_get_a_redirect(self):
        self.start()
        good = self.matching("irampart")
        for pairs in (good[:1] + [(good[1][0], "0")] + good[2:], good[:-1], good + [("extra.dll", "1")]):
            with self.subTest(pairs=pairs):
                status, _, data = self.post_report("irampart", pairs)
                self.assertEqual((status, data), (200, b"REDIRECT;update.html\n"))

    def test_wrong_length_or_type_is_refused(self):
        self.start()
        status, _, data = self.post_report("irampart", self.matching("irampart"), length_delta=-1)
        self.assertEqual(status, 400)
        self.assertIn(b"does not end with its zero byte", data)
        status, _, data = self.request("POST", "/irampart/ret_objects", b"junk=1&number=0&versions\0",
                                       {"Content-Type": "text/plain"})
        self.assertEqual(status, 400)
        self.assertIn(b"Content-Type", data)
        status, _, _ = self.post_report("inosuchgame", [])
        self.assertEqual(status, 404)

    def test_commands(self):
        self.start(command="abort")
        self.assertEqual(self.request("GET", "/iduskfall/manifest.velkor")[2], b"ABORT;maintenance.html\n")
        self.start(command="launch-now", command_at="answer")
        status, _, data = self.post_report("iduskfall", [])
        self.assertEqual(data, b"LAUNCH_NOW;iduskfall;-game iduskfall -server 127.0.0.1:7001 -ticket DF-0001\n")

    def test_cut_stream_announces_more_than_it_sends(self):
        self.start(cut="manifest")
        status, length, data = self.request("GET", "/irampart/manifest.velkor")
        self.assertEqual(int(length), 76)
        self.assertEqual(len(data), 38)


if __name__ == "__main__":
    unittest.main()
