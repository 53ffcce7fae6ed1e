#!/usr/bin/env python3
"""server_bench: the reference server under fifty players at once.

One exchange is what a player's check asks of the server: the page, the
manifest, then the version report with the fingerprints of the sample's
release tree; every fourth report carries a wrong one and must be answered
with the redirect, the others with the launch arguments. The exchanges run
CONCURRENCY at a time on loopback, against vkserver's built-in server and
against gunicorn (make_app) behind nginx, each started here with a
configuration, pid file and ports of its own, and stopped again. Bounded: a
fixed count, a time-out per request, and no new exchange after the time
limit. Prints one row per server: exchanges a second, the latency of whole
exchanges, errors (no answer, a reset) and wrong answers."""

import argparse
import http.client
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVER = os.path.join(TOP, "tools", "server")
sys.path.insert(0, SERVER)
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


def percentile(sorted_values, share):
    if not sorted_values:
        return float("nan")
    return sorted_values[min(len(sorted_values) - 1, int(share * len(sorted_values)))]


def free_ports(n):
    held = [socket.socket() for _ in range(n)]
    for s in held:
        s.bind(("127.0.0.1", 0))
    ports = [s.getsockname()[1] for s in held]
    for s in held:
        s.close()
    return ports


def wait_for_port(port, seconds=15):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        try:
            socket.create_connection(("127.0.0.1", port), 1).close()
            return True
        except OSError:
            time.sleep(0.05)
    return False


def start(command, log, cwd=None):
    return subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=log, stderr=log, cwd=cwd)


def stop(process):
    process.terminate()
    try:
        process.wait(10)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


def nginx_config(work, port, upstream):
    return """daemon off;
master_process off;
pid {w}/nginx.pid;
error_log {w}/nginx.error.log warn;
events {{ worker_connections 1024; }}
http {{
    access_log off;
    client_body_temp_path {w}/body;
    proxy_temp_path {w}/proxy;
    fastcgi_temp_path {w}/fastcgi;
    uwsgi_temp_path {w}/uwsgi;
    scgi_temp_path {w}/scgi;
    server {{
        listen 127.0.0.1:{port} backlog=128;
        location / {{ proxy_pass http://127.0.0.1:{upstream}; proxy_set_header Host $http_host; }}
    }}
}}
""".format(w=work, port=port, upstream=upstream)


def bench_builtin(work, plan_list, concurrency):
    (port,) = free_ports(1)
    with open(os.path.join(work, "vkserver.log"), "w") as log:
        server = start([sys.executable, os.path.join(SERVER, "vkserver.py"), "--port", str(port)], log)
        try:
            if not wait_for_port(port):
                raise SystemExit("server_bench: vkserver did not start; see %s/vkserver.log" % work)
            return run_load(port, plan_list, concurrency)
        finally:
            stop(server)


def bench_gunicorn(work, plan_list, concurrency, workers):
    front, back = free_ports(2)
    with open(os.path.join(work, "nginx.conf"), "w") as f:
        f.write(nginx_config(work, front, back))
    with open(os.path.join(work, "gunicorn.log"), "w") as log:
        app = start(["gunicorn", "--workers", str(workers), "--bind", "127.0.0.1:%d" % back,
                     "--chdir", SERVER, "vkserver:make_app()"], log)
        nginx = start(["nginx", "-p", work, "-e", os.path.join(work, "nginx.error.log"),
                       "-c", os.path.join(work, "nginx.conf")], log)
        try:
            if not (wait_for_port(back) and wait_for_port(front)):
                raise SystemExit("server_bench: gunicorn or nginx did not start; see %s" % work)
            return run_load(front, plan_list, concurrency)
        finally:
            stop(nginx)
            stop(app)


def row(name, r):
    ms = lambda s: "%.0f ms" % (s * 1000)  # noqa: E731
    lat = r["latencies"]
    return "%-32s %9d %8.1f %8s %8s %8s %7d %6d" % (
        name, r["done"], r["done"] / r["took"] if r["took"] else 0, ms(percentile(lat, 0.5)),
        ms(percentile(lat, 0.99)), ms(lat[-1] if lat else float("nan")), r["error"], r["wrong"])


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--exchanges", type=int, default=2000)
    parser.add_argument("--concurrency", type=int, default=50)
    parser.add_argument("--workers", type=int, default=2, help="gunicorn's worker processes (default 2)")
    options = parser.parse_args()
    for program in ("gunicorn", "nginx"):
        if not shutil.which(program):
            raise SystemExit("server_bench: %s is not installed (make deps installs it)" % program)
    plan_list = plans(options.exchanges)
    print("%d exchanges (page, manifest, report; every fourth report wrong), %d at a time, on loopback"
          % (options.exchanges, options.concurrency))
    print("%-32s %9s %8s %8s %8s %8s %7s %6s" % ("server", "exchanges", "per s", "p50", "p99", "max",
                                                  "errors", "wrong"))
    with tempfile.TemporaryDirectory(prefix="server_bench.") as work:
        builtin = bench_builtin(work, plan_list, options.concurrency)
        print(row("vkserver.py (built-in server)", builtin), flush=True)
        behind = bench_gunicorn(work, plan_list, options.concurrency, options.workers)
        print(row("gunicorn -w %d behind nginx" % options.workers, behind), flush=True)
    failed = any(r["error"] or r["wrong"] or r["done"] < options.exchanges for r in (builtin, behind))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
