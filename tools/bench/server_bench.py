#!/usr/bin/env python3
"""server_bench: the reference server under fifty players at once.

One exchange is what a player's check asks of the server (harness/players.py:
the page, the manifest, then the version report; every fourth report wrong).
The exchanges run CONCURRENCY at a time on loopback, against vkserver's built-in server and
against gunicorn (make_app) behind nginx, each started here with a
configuration, pid file and ports of its own, and stopped again. Bounded: a
fixed count, a time-out per request, and no new exchange after the time
limit. Prints one row per server: exchanges a second, the latency of whole
exchanges, errors (no answer, a reset) and wrong answers."""

import argparse
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SERVER = os.path.join(TOP, "tools", "server")
sys.path.insert(0, os.path.join(TOP, "harness"))
from players import plans, run_load  # noqa: E402


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
