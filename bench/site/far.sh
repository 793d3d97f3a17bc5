#!/usr/bin/env bash
# A far server: the Python 3.11 documentation (Debian's python3.11-doc) from a loopback nginx,
# reached through bench/site/delay_proxy.py, which holds every byte back DELAY_MS each way (a
# round trip of twice that; a new connection pays one more for its handshake). Two benchmarks:
#
#   mirror  harvestly-cli at each connection count, wget, wget2 with one thread and wget2 with its
#           default five, into empty folders: median wall time, files stored, whether they match
#           harvestly-cli's one-connection mirror byte for byte, and the bytes and connections the
#           proxy counted.
#   update  each program brings its own unchanged mirror up to date: harvestly-cli with
#           `--file-check replace`, wget and wget2 with -N. Median wall time, bytes received and
#           connections opened, as the proxy counted them.
#
#   bash bench/site/far.sh [DELAY_MS] [ROUNDS] [CONNECTIONS...]
#
# DELAY_MS 25 by default; 0 keeps the proxy (for its counts) without delay. ROUNDS 3 by default.
# CONNECTIONS are harvestly-cli's transfer counts (default: 1 5 8); a count above 1 is skipped
# when this harvestly-cli does not accept --connections. HARVESTLY_CLI=path measures another build.
# Run it with `nice`: the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
delay_ms=${1:-25}
rounds=${2:-3}
shift $(($# > 2 ? 2 : $#))
connections=("${@:-1 5 8}")
read -r -a connections <<< "${connections[*]}"
docs_dir=/usr/share/doc/python3.11/html

# The packages the benchmarks need; setup only when one is missing (it takes the package lock).
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
export XDG_CONFIG_HOME="$work/config" # a fresh settings store: no stored filters or depth

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

accepts_connections() { # count: whether harvestly-cli takes --connections
    "$HARVESTLY_CLI" --connections "$1" --help > /dev/null 2>&1
}

programs=()
declare -A label=([wget]=wget [wget2_1]="wget2 1 thread" [wget2_5]="wget2 5 threads")
for n in "${connections[@]}"; do
    if [ "$n" != 1 ] && ! accepts_connections "$n"; then
        echo "harvestly-cli does not accept --connections yet: $n connections skipped"
        continue
    fi
    programs+=("harvestly_$n")
    label[harvestly_$n]="harvestly-cli $n conn"
done
programs+=(wget wget2_1 wget2_5)

# The command line of each program mirroring $url into $2 (with -N or its like when $3 is "update").
command_of() {
    local program=$1 dest=$2 mode=${3:-mirror} update=()
    case $program in
    harvestly_*)
        local n=${program#harvestly_} extra=()
        [ "$n" != 1 ] && extra=(--connections "$n")
        [ "$mode" = update ] && update=(--file-check replace)
        cmd=("$HARVESTLY_CLI" -q -y -c --index --continue-on-error "${extra[@]}" "${update[@]}" "$url" "$dest")
        ;;
    # Both wgets as in run.sh: every depth, no robots.txt, no query addresses.
    wget)
        [ "$mode" = update ] && update=(-N)
        cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' "${update[@]}" -P "$dest" "$url")
        ;;
    wget2_1 | wget2_5)
        [ "$mode" = update ] && update=(-N)
        local threads=()
        [ "$program" = wget2_1 ] && threads=(--max-threads=1)
        cmd=(wget2 -r -l 0 -np -nH --cut-dirs=1 -q --robots=off --reject-regex '[?]' "${threads[@]}" "${update[@]}"
            -P "$dest" "$url")
        ;;
    esac
}

# GNU time's figures are its file's last line: a program that exits non-zero gets a first line
# "Command exited with non-zero status N".
run_through_proxy() { # program dest mode: appends "wall bytes_to_client connections" to $work/$mode.$program
    local program=$1 dest=$2 mode=$3
    start_proxy
    url="http://127.0.0.1:$proxy_port/docs/index.html"
    command_of "$program" "$dest" "$mode"
    sync
    /usr/bin/time -f "%e" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    stop_proxy
    rm -f "$dest/error.log" "$dest/shortcut.url" # harvestly-cli's own, no peer writes them
    local wall bytes conns
    wall=$(tail -n 1 "$work/time")
    bytes=$(awk '{ print $4 }' "$work/proxy.stats")
    conns=$(awk '{ print $2 }' "$work/proxy.stats")
    echo "$wall $bytes $conns" >> "$work/$mode.$program"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column_median() { cut -d' ' -f"$2" "$1" | median; }

same_files() { # reference other
    local h=$1 p=$2
    (cd "$h" && find . -type f | sort) > "$work/h.list"
    (cd "$p" && find . -type f | sort) > "$work/p.list"
    local only_h only_p differ=0
    only_h=$(comm -23 "$work/h.list" "$work/p.list" | wc -l)
    only_p=$(comm -13 "$work/h.list" "$work/p.list" | wc -l)
    while read -r name; do
        cmp -s "$h/$name" "$p/$name" || differ=$((differ + 1))
    done < <(comm -12 "$work/h.list" "$work/p.list")
    if [ "$only_h" = 0 ] && [ "$only_p" = 0 ] && [ "$differ" = 0 ]; then
        echo yes
    else
        echo "no: $only_h only in reference, $only_p only here, $differ differ"
    fi
}

table() { # mode title
    local mode=$1 reference=${last[harvestly_1]:-}
    echo
    echo "$2 ($rounds rounds, medians; delay $delay_ms ms each way)"
    printf '%-22s %8s %6s %12s %6s %10s  %s\n' program "wall s" files "bytes recv" conns "x wget2-5" "same files as harvestly 1 conn"
    local w5
    w5=$(column_median "$work/$mode.wget2_5" 1)
    for program in "${programs[@]}"; do
        local wall bytes conns files ratio same
        wall=$(column_median "$work/$mode.$program" 1)
        bytes=$(column_median "$work/$mode.$program" 2)
        conns=$(column_median "$work/$mode.$program" 3)
        files=$(find "${last[$program]}" -type f | wc -l)
        ratio=$(awk -v a="$wall" -v b="$w5" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')
        if [ "$program" = harvestly_1 ] || [ -z "$reference" ]; then same=-; else same=$(same_files "$reference" "${last[$program]}"); fi
        printf '%-22s %8.2f %6d %12d %6d %10s  %s\n' "${label[$program]}" "$wall" "$files" "$bytes" "$conns" "$ratio" "$same"
    done
}

# An unmeasured first pass reads the site into the page cache.
url="http://127.0.0.1:$nginx_port/docs/index.html"
command_of harvestly_1 "$work/warm"
"${cmd[@]}" > /dev/null 2>&1 || true

declare -A last=()
for program in "${programs[@]}"; do
    : > "$work/mirror.$program"
    : > "$work/update.$program"
done
for round in $(seq "$rounds"); do
    for program in "${programs[@]}"; do
        last[$program]="$work/out/mirror/$program.$round"
        mkdir -p "${last[$program]}"
        run_through_proxy "$program" "${last[$program]}" mirror
    done
done
table mirror "Mirror of the Python 3.11 docs through the delaying proxy"

# Updates: each program's last mirror is its unchanged copy; each round brings it up to date.
for round in $(seq "$rounds"); do
    for program in "${programs[@]}"; do
        run_through_proxy "$program" "${last[$program]}" update
    done
done
table update "Update of an unchanged mirror (harvestly-cli --file-check replace, wget -N, wget2 -N)"
