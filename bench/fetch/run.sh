#!/usr/bin/env bash
# Downloads one large file from a loopback nginx with the engine's fetcher and with curl, in
# turn, and reports wall time, throughput and peak resident memory of each.
#
#   bash bench/fetch/run.sh [ROUNDS] [OUTPUT_FOLDER]
#
# OUTPUT_FOLDER defaults to a folder on the same disk as the temporary folder; a tmpfs folder
# (such as /dev/shm) takes the disk's write-back out of the comparison.
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
rounds=${1:-3}
out_parent=${2:-}

bash scripts/setup.sh --bench > /dev/null
cmake -S . -B build-fetch-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DHARVESTLY_GUI=OFF -DHARVESTLY_TESTS=OFF \
    -DHARVESTLY_BENCH=ON > /dev/null
cmake --build build-fetch-bench --target bench_fetch_file > /dev/null
fetch=build-fetch-bench/bench/fetch/bench_fetch_file

work=$(mktemp -d)
chmod 755 "$work" # nginx's workers run as another user
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
mkdir -p "$work/www/files" "$work/config"
if [ -n "$out_parent" ]; then
    out=$(mktemp -d -p "$out_parent")
    trap 'stop_nginx "$work"; rm -rf "$work" "$out"' EXIT
else
    out="$work/out"
    mkdir -p "$out"
fi
# Sparse files: nginx serves them from the page cache at once, so the network side is the test.
truncate -s 100M "$work/www/files/100m.bin"
truncate -s 1G "$work/www/files/1g.bin"

start_nginx "$work" "$work/www"
# Warm nginx's page cache, so the first measured download does not pay for it alone.
for size in 100m 1g; do
    curl -s -o /dev/null "http://127.0.0.1:$port/files/$size.bin"
done

# The fetcher reads its options from a settings store of its own here, never the user's.
export XDG_CONFIG_HOME="$work/config"

measure() { # label command... ; prints "label seconds peak_kib"
    local label=$1
    shift
    sync
    /usr/bin/time -f "%e %M %U %S" -o "$work/time" "$@" > /dev/null
    read -r seconds peak user system < "$work/time"
    if [ "$(stat -c %s "$out/$size.bin" 2> /dev/null)" != "$bytes" ]; then
        echo "$label did not store $size.bin whole" >&2
        exit 1
    fi
    echo "$label $seconds $peak $user $system"
    rm -f "$out/"*.bin
}

echo "size tool seconds MiB/s peak_MiB user_s sys_s"
for size in 100m 1g; do
    url="http://127.0.0.1:$port/files/$size.bin"
    bytes=$(stat -c %s "$work/www/files/$size.bin")
    for round in $(seq "$rounds"); do
        for tool in fetcher curl; do
            if [ "$tool" = fetcher ]; then
                line=$(measure fetcher "$fetch" "$url" "$out/")
            else
                line=$(measure curl curl -s -o "$out/$size.bin" "$url")
            fi
            read -r _ seconds peak user system <<< "$line"
            awk -v s="$size" -v t="$tool" -v sec="$seconds" -v kib="$peak" -v b="$bytes" -v u="$user" -v y="$system" \
                'BEGIN { printf "%s %s %.2f %.0f %.1f %.2f %.2f\n", s, t, sec, b / 1048576 / (sec > 0 ? sec : 0.01), kib / 1024, u, y }'
        done
    done
done | tee "$work/results"
awk '$1 == "1g" { sum[$2] += $4; n[$2]++ } END {
    f = sum["fetcher"] / n["fetcher"]; c = sum["curl"] / n["curl"];
    printf "1 GiB mean throughput: fetcher %.0f MiB/s, curl %.0f MiB/s, ratio %.2f\n", f, c, f / c }' "$work/results"
