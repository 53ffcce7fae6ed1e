# Web servers that nobody here wrote, in front of the reference server, for
# the end-to-end runs: nginx as its TLS and plain-HTTP front, tinyproxy as a
# forward proxy. Each runs from $WORK on loopback ports of its own, with its
# own configuration, pid file and logs; never the system's service.
# Callers set WORK and have the reference server on $port.

# free_ports N: N loopback ports free at this moment, on one line.
free_ports() {
    python3 -c 'import socket, sys
held = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in held: s.bind(("127.0.0.1", 0))
print(" ".join(str(s.getsockname()[1]) for s in held))' "$1"
}

# make_certificate: a self-signed certificate for 127.0.0.1, made now, in
# $WORK/cert.pem and $WORK/key.pem.
make_certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
        -addext subjectAltName=IP:127.0.0.1 -keyout "$WORK/key.pem" -out "$WORK/cert.pem" \
        >"$WORK/openssl.log" 2>&1
}

# wait_for_port PORT: until something listens there (5 s at most).
wait_for_port() {
    python3 -c 'import socket, sys, time
for _ in range(100):
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), 1).close(); sys.exit(0)
    except OSError: time.sleep(0.05)
sys.exit(1)' "$1"
}

# run_nginx SERVERS PORT...: nginx with these server blocks, one process of
# the caller's own user, its logs in $WORK/nginx; returns once every PORT
# listens.
run_nginx() {
    servers=$1
    shift
    mkdir -p "$WORK/nginx"
    cat >"$WORK/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
user $(id -un) $(id -gn);
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log info;
events { worker_connections 64; }
http {
    access_log $WORK/nginx/access.log;
    client_body_temp_path $WORK/nginx/body;
    proxy_temp_path $WORK/nginx/proxy;
    fastcgi_temp_path $WORK/nginx/fastcgi;
    uwsgi_temp_path $WORK/nginx/uwsgi;
    scgi_temp_path $WORK/nginx/scgi;
$servers
}
CONF
    nginx -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf" </dev/null \
        >/dev/null 2>&1 &
    nginx_pid=$!
    for listening in "$@"; do
        wait_for_port "$listening" || return 1
    done
}

# to_server: nginx's way on to the reference server, with the player's
# Host, port and all: the server checks the Referer against it.
to_server() { echo "location / { proxy_pass http://127.0.0.1:$port; proxy_set_header Host \$http_host; }"; }

# start_nginx TLS_PORT PLAIN_PORT: nginx proxying both to the reference
# server.
start_nginx() {
    run_nginx "
    server {
        listen 127.0.0.1:$1 ssl;
        ssl_certificate $WORK/cert.pem;
        ssl_certificate_key $WORK/key.pem;
        $(to_server)
    }
    server { listen 127.0.0.1:$2; $(to_server) }" "$1" "$2"
}

# start_tinyproxy PORT CONNECT_PORT: a forward proxy that lets CONNECT
# through to CONNECT_PORT only.
start_tinyproxy() {
    cat >"$WORK/tinyproxy.conf" <<CONF
Port $1
Listen 127.0.0.1
Timeout 30
PidFile "$WORK/tinyproxy.pid"
LogFile "$WORK/tinyproxy.log"
LogLevel Info
MaxClients 10
Allow 127.0.0.1
ConnectPort $2
CONF
    tinyproxy -d -c "$WORK/tinyproxy.conf" </dev/null >/dev/null 2>&1 &
    tinyproxy_pid=$!
    wait_for_port "$1"
}

stop_front() {
    for pid in ${nginx_pid:-} ${tinyproxy_pid:-}; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    nginx_pid= tinyproxy_pid=
}

# same_transcript A B: A and B tell the same exchange, whatever the origin
# (the first http(s)://127.0.0.1:PORT of each), the HTTP version of the
# answers, the block addresses and the note about --insecure.
same_transcript() {
    for f in "$1" "$2"; do
        origin=$(grep -o 'https\?://127\.0\.0\.1:[0-9]*' "$f" | head -1)
        grep -v '^# --insecure' "$f" | sed -e "s|$origin|ORIGIN|g" -e 's|HTTP/1\.[01] |HTTP |g' \
            -e 's|NPN_MemFree([0-9A-Fa-fx]*)|NPN_MemFree(BLOCK)|' >"$f.same"
    done
    diff -u "$1.same" "$2.same" >"$2.diff" || fail "$(basename "$2") tells another exchange than $(basename "$1"): $(head -20 "$2.diff")"
}
