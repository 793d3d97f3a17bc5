#!/usr/bin/env bash
# Mirrors a synthetic site from a loopback nginx with harvestly-cli and with wget, three times
# each, and compares wall time, peak memory and the files each stored.
#
#   bash bench/site/run.sh [PAGES] [BIG_FILES] [BIG_MB]
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
pages=${1:-2000}
big_files=${2:-3}
big_mb=${3:-20}

bash scripts/setup.sh --bench > /dev/null
cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARVESTLY_GUI=OFF -DHARVESTLY_TESTS=OFF > /dev/null
cmake --build build-bench --target harvestly-cli > /dev/null

work=$(mktemp -d)
chmod 755 "$work" # nginx workers read the site as an unprivileged user
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
# The pages name their server in full addresses: the port is chosen before the site is written.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 bench/site/make_site.py "$work/www" --pages "$pages" --big-files "$big_files" --big-mb "$big_mb" \
    --host "127.0.0.1:$port"

start_nginx "$work" "$work/www" "$port"

start="http://127.0.0.1:$port/site/index.html"
export XDG_CONFIG_HOME="$work/config" # a fresh settings store: no stored filters or depth

run_harvestly() {
    rm -rf "$work/h"
    /usr/bin/time -f "%e %M" -o "$work/time" build-bench/cli/harvestly-cli -q -y -c --index \
        --continue-on-error "$start" "$work/h" > /dev/null || true
    cat "$work/time"
}
run_wget() {
    rm -rf "$work/w"
    /usr/bin/time -f "%e %M" -o "$work/time" wget -r -l inf -np -nH --cut-dirs=1 -nv -o "$work/wget.log" -e robots=off \
        --reject-regex '[?]' -P "$work/w" "$start" || true
    cat "$work/time"
}
median() { sort -n | sed -n 2p; }

: > "$work/h.times"
: > "$work/w.times"
for round in 1 2 3; do
    run_harvestly >> "$work/h.times"
    run_wget >> "$work/w.times"
done

(cd "$work/h" && find . -type f ! -name error.log ! -name shortcut.url | sort) > "$work/h.files"
tail -3 "$work/wget.log"
(cd "$work/w" && find . -type f | sort) > "$work/w.files"

echo "site: $pages pages, $big_files files of $big_mb MB, $(wc -l < "$work/w.files") files stored by wget"
printf '%-13s %10s %12s\n' program "median s" "peak RSS KB"
printf '%-13s %10s %12s\n' harvestly-cli "$(cut -d' ' -f1 "$work/h.times" | median)" "$(cut -d' ' -f2 "$work/h.times" | sort -n | tail -1)"
printf '%-13s %10s %12s\n' wget "$(cut -d' ' -f1 "$work/w.times" | median)" "$(cut -d' ' -f2 "$work/w.times" | sort -n | tail -1)"
if diff -q "$work/h.files" "$work/w.files" > /dev/null; then
    echo "same set of files: yes"
else
    echo "same set of files: no; only in one of them (< harvestly-cli, > wget):"
    diff "$work/h.files" "$work/w.files" | grep '^[<>]' | head -20 || true
fi
