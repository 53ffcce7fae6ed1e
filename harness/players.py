"""players.py: players' checks against the reference server, many at once,
for the server's bench and its tests. One exchange is what a player's check
asks of the server: the page, the manifest, then the version report with the
fingerprints of the sample's release tree; every fourth report carries a
wrong one and must be answered with the redirect, the others with the launch
arguments."""

import http.client
import os
import sys
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(TOP, "tools", "server"))
from catalogue import load  # noqa: E402
from report import as_sent  # noqa: E402

SAMPLE = os.path.join(TOP, "tools", "sample")
FORM = "application/x-www-form-urlencoded"


class Plan:
    """One exchange: the game, the report to post, the answer it must get."""

    def __init__(self, game, wrong):
        self.game = game.name
        self.manifest = (game.name + ";" + "".join(l + "\n" for l in game.lines) + "\n").encode("latin-1")
        prints = [game.expected[l] for l in game.lines]
        if wrong:
            prints[-1] = str(int(prints[-1]) + 1)
        pairs = ";".join("%s=%s" % (as_sent(l), p) for l, p in zip(game.lines, prints))
        self.report = ("junk=1&number=%d&versions=%s" % (len(prints), pairs)).encode("latin-1") + b"\0"
        self.answer = b"REDIRECT;update.html\n" if wrong else game.launch.encode("latin-1") + b"\n"


def plans(count, catalogue=os.path.join(SAMPLE, "catalogue.ini"), release=os.path.join(SAMPLE, "release")):
    games = [g for g in load(catalogue, release).values() if g.lines]
    return [Plan(games[i % len(games)], i % 4 == 3) for i in range(count)]


def ask(port, method, path, body, timeout):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=timeout)
    try:
        headers = {"Content-Type": FORM} if body is not None else {}
        connection.request(method, path, body, headers)
        reply = connection.getresponse()
        return reply.status, reply.read()
    finally:
        connection.close()


def exchange(port, plan, timeout):
    """Returns "ok", "wrong" or "error" and the seconds the exchange took."""
    start = time.monotonic()
    try:
        status, page = ask(port, "GET", "/%s/" % plan.game, None, timeout)
        good = status == 200 and b'src="manifest.velkor"' in page
        status, manifest = ask(port, "GET", "/%s/manifest.velkor" % plan.game, None, timeout)
        good = good and status == 200 and manifest == plan.manifest
        status, answer = ask(port, "POST", "/%s/ret_objects" % plan.game, plan.report, timeout)
        good = good and status == 200 and answer == plan.answer
        outcome = "ok" if good else "wrong"
    except (OSError, http.client.HTTPException):
        outcome = "error"
    return outcome, time.monotonic() - start


def run_load(port, work, concurrency, timeout=30, time_limit=300):
    """Runs every plan of work, concurrency at a time. Returns a dict of
    counts, the seconds taken and the sorted latencies."""
    results = []
    lock = threading.Lock()
    queue = list(reversed(work))
    stop_at = time.monotonic() + time_limit

    def player():
        while time.monotonic() < stop_at:
            with lock:
                if not queue:
                    return
                plan = queue.pop()
            outcome = exchange(port, plan, timeout)
            with lock:
                results.append(outcome)

    start = time.monotonic()
    threads = [threading.Thread(target=player, daemon=True) for _ in range(concurrency)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    took = time.monotonic() - start
    counts = {kind: sum(1 for o, _ in results if o == kind) for kind in ("ok", "wrong", "error")}
    return dict(counts, done=len(results), took=took, latencies=sorted(s for _, s in results))
