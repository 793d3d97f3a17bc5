#!/usr/bin/env bash
# The update of an unchanged mirror: the Python 3.11 documentation (Debian's python3.11-doc) from
# a loopback nginx, reached through bench/site/delay_proxy.py (DELAY_MS each way; 0 keeps the
# proxy for its counts). Each program mirrors the site once into its own folder, unmeasured, then
# brings that unchanged mirror up to date ROUNDS times: harvestly-cli with `--file-check replace`,
# wget and wget2 (one thread, and its default five) with -N. Prints the median wall time and the
# bytes and connections the proxy counted, and whether harvestly-cli's update left every file of
# its mirror as it was (bytes and times).
#
#   bash bench/site/update.sh [DELAY_MS] [ROUNDS]
#
# DELAY_MS 25 by default, ROUNDS 3. HARVESTLY_CLI=path measures another build. Run it with `nice`.
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
delay_ms=${1:-25}
rounds=${2:-3}
docs_dir=/usr/share/doc/python3.11/html

if ! command -v nginx wget wget2 /usr/bin/time > /dev/null || [ ! -d "$docs_dir" ]; then
    bash scripts/setup.sh --bench > /dev/null
fi
bench_harvestly_cli

work=$(mktemp -d)
chmod 755 "$work" # nginx workers read the site as an unprivileged user
proxy_pid=
stop_proxy() {
    if [ -n "$proxy_pid" ]; then
        kill -TERM "$proxy_pid" 2> /dev/null || true
        wait "$proxy_pid" 2> /dev/null || true
        proxy_pid=
    fi
}
trap 'stop_proxy; stop_nginx "$work"; rm -rf "$work"' EXIT
mkdir -p "$work/www"
ln -s "$docs_dir" "$work/www/docs"
start_nginx "$work" "$work/www"
nginx_port=$port
export XDG_CONFIG_HOME="$work/config" # a fresh settings store

start_proxy() { # sets $proxy_port; the counts go to $work/proxy.stats when it stops
    rm -f "$work/proxy.stats" "$work/proxy.out"
    python3 bench/site/delay_proxy.py --target "127.0.0.1:$nginx_port" --delay-ms "$delay_ms" \
        --stats "$work/proxy.stats" > "$work/proxy.out" 2>&1 &
    proxy_pid=$!
    for _ in $(seq 100); do
        proxy_port=$(awk '/^port / { print $2 }' "$work/proxy.out" 2> /dev/null)
        [ -n "$proxy_port" ] && return 0
        sleep 0.05
    done
    echo "the proxy did not start" >&2
    return 1
}

programs=(harvestly wget wget2_1 wget2_5)
declare -A label=([harvestly]="harvestly-cli" [wget]="wget -N" [wget2_1]="wget2 -N 1 thread" [wget2_5]="wget2 -N 5 threads")

command_of() { # program dest mode: the command in `cmd`
    local program=$1 dest=$2 update=()
    case $program in
    harvestly)
        [ "$3" = update ] && update=(--file-check replace)
        cmd=("$HARVESTLY_CLI" -q -y -c --index --continue-on-error "${update[@]}" "$url" "$dest")
        ;;
    wget)
        [ "$3" = update ] && update=(-N)
        cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' "${update[@]}" -P "$dest" "$url")
        ;;
    wget2_1 | wget2_5)
        [ "$3" = update ] && update=(-N)
        local threads=()
        [ "$program" = wget2_1 ] && threads=(--max-threads=1)
        cmd=(wget2 -r -l 0 -np -nH --cut-dirs=1 -q --robots=off --reject-regex '[?]' "${threads[@]}" "${update[@]}"
            -P "$dest" "$url")
        ;;
    esac
}

run() { # program dest mode: appends "wall bytes_to_client connections" to $work/$mode.$program
    local program=$1 dest=$2 mode=$3
    start_proxy
    url="http://127.0.0.1:$proxy_port/docs/index.html"
    command_of "$program" "$dest" "$mode"
    sync
    /usr/bin/time -f "%e" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    stop_proxy
    echo "$(tail -n 1 "$work/time") $(awk '{ print $4, $2 }' "$work/proxy.stats")" >> "$work/$mode.$program"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column_median() { cut -d' ' -f"$2" "$1" | median; }
listing() { # every file's name, time and checksum
    (cd "$1" && find . -type f ! -name error.log ! -name shortcut.url -print0 | sort -z |
        xargs -0 sh -c 'for f; do echo "$(stat -c "%n %Y" "$f") $(md5sum < "$f")"; done' sh)
}

for program in "${programs[@]}"; do
    mkdir -p "$work/$program"
    run "$program" "$work/$program" mirror
    : > "$work/update.$program"
done
listing "$work/harvestly" > "$work/before"
for _ in $(seq "$rounds"); do
    for program in "${programs[@]}"; do
        run "$program" "$work/$program" update
    done
done
listing "$work/harvestly" > "$work/after"

echo "Update of an unchanged mirror ($rounds rounds, medians; delay $delay_ms ms each way)"
printf '%-20s %8s %6s %12s %6s\n' program "wall s" files "bytes recv" conns
for program in "${programs[@]}"; do
    printf '%-20s %8.2f %6d %12d %6d\n' "${label[$program]}" "$(column_median "$work/update.$program" 1)" \
        "$(find "$work/$program" -type f | wc -l)" "$(column_median "$work/update.$program" 2)" \
        "$(column_median "$work/update.$program" 3)"
done
if cmp -s "$work/before" "$work/after"; then
    echo "harvestly-cli's mirror: every file's bytes and time unchanged ($(wc -l < "$work/before") files)"
else
    echo "harvestly-cli's mirror CHANGED:"
    diff "$work/before" "$work/after" | head -20
fi
