# Sourced by the benchmark scripts: a private nginx on a free loopback port serving a folder, and
# the harvestly-cli under test.
#
#   start_nginx WORK ROOT [PORT] [LINES]   # sets $port (a free one unless given); LINES go into
#                                          # the server block (a TLS listener, say)
#   stop_nginx WORK                        # stops it
#   free_port                              # prints a free loopback port
#   bench_harvestly_cli                    # sets $HARVESTLY_CLI: a Release build here unless given
# WORK must be readable by others: nginx's workers run as an unprivileged user.

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

bench_harvestly_cli() {
    if [ -z "${HARVESTLY_CLI:-}" ]; then
        cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARVESTLY_GUI=OFF -DHARVESTLY_TESTS=OFF > /dev/null
        cmake --build build-bench --target harvestly-cli > /dev/null
        HARVESTLY_CLI=build-bench/cli/harvestly-cli
    fi
}

start_nginx() {
    local work=$1 root=$2 lines=${4:-}
    port=${3:-$(free_port)}
    cat > "$work/nginx.conf" <<CONF
worker_processes 1;
pid $work/nginx.pid;
error_log $work/nginx-error.log;
events { worker_connections 256; }
http {
    include /etc/nginx/mime.types;
    default_type application/octet-stream;
    access_log off;
    sendfile on;
    server {
        listen 127.0.0.1:$port;
        root $root;
$lines
    }
}
CONF
    nginx -c "$work/nginx.conf" -p "$work"
    for _ in $(seq 50); do
        (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null && return 0
        sleep 0.1
    done
    echo "nginx did not start" >&2
    return 1
}

stop_nginx() {
    local work=$1
    if [ -f "$work/nginx.pid" ]; then
        kill "$(cat "$work/nginx.pid")" 2> /dev/null || true
    fi
}
