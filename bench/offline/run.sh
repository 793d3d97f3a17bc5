#!/usr/bin/env bash
# Offline browsing of a mirror: harvestly-cli with and without --convert-links, and wget -k, on
# the synthetic site and the Python 3.11 documentation served by a loopback nginx. Prints per
# site the median wall time of each, the time conversion adds, and the share of link values in
# the stored pages that lead to no file when the mirror is opened from disk
# (bench/offline/broken_links.py).
#
#   bash bench/offline/run.sh [ROUNDS] [PAGES]
#
# HARVESTLY_CLI=path measures another build of harvestly-cli (default: a Release build here).
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
rounds=${1:-5}
pages=${2:-2000}
docs_dir=/usr/share/doc/python3.11/html

bash scripts/setup.sh --bench > /dev/null
bench_harvestly_cli

work=$(mktemp -d)
chmod 755 "$work"
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
port=$(free_port)
# No large files: conversion is measured against a crawl of pages alone.
python3 bench/site/make_site.py "$work/www" --pages "$pages" --big-files 0 --host "127.0.0.1:$port" > /dev/null
ln -s "$docs_dir" "$work/www/docs"
start_nginx "$work" "$work/www" "$port"
export XDG_CONFIG_HOME="$work/config"

command_of() { # program dest: the command line in `cmd`
    case $1 in
    plain) cmd=("$HARVESTLY_CLI" -q -y -c --index --continue-on-error --css "$url" "$2") ;;
    convert) cmd=("$HARVESTLY_CLI" -q -y -c --index --continue-on-error --css --convert-links "$url" "$2") ;;
    wget) cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' -P "$2" "$url") ;;
    wget_k) cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' -k -P "$2" "$url") ;;
    esac
}

measure() { # program round: appends the wall time to $work/$folder.$program
    local dest="$work/out/$folder/$1.$2"
    last[$1]=$dest
    mkdir -p "$dest"
    command_of "$1" "$dest"
    sync
    /usr/bin/time -f "%e" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    rm -f "$dest/error.log" "$dest/shortcut.url"
    cat "$work/time" >> "$work/$folder.$1"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
programs=(plain convert wget wget_k)
declare -A label=([plain]="harvestly-cli" [convert]="harvestly-cli --convert-links" [wget]="wget -r -np -nH"
    [wget_k]="wget -r -np -nH -k")

bench_site() { # folder title
    folder=$1
    url="http://127.0.0.1:$port/$folder/index.html"
    declare -gA last=()
    measure plain 0 # reads the site into the page cache
    for program in "${programs[@]}"; do : > "$work/$folder.$program"; done
    for round in $(seq "$rounds"); do
        for program in "${programs[@]}"; do measure "$program" "$round"; done
    done
    echo
    echo "$2 ($rounds rounds, median wall time)"
    printf '%-32s %8s %7s %8s %9s %9s %11s\n' program "wall s" files values "nowhere" absolute "abs. in mirror"
    for program in "${programs[@]}"; do
        local wall files values local_ nowhere absolute in_mirror
        wall=$(median < "$work/$folder.$program")
        files=$(find "${last[$program]}" -type f | wc -l)
        # wget's -nH --cut-dirs=1 puts the folder's files at the top, as harvestly-cli does.
        read -r values local_ nowhere absolute in_mirror <<< \
            "$(python3 bench/offline/broken_links.py "${last[$program]}" "http://127.0.0.1:$port/$folder/")"
        awk -v p="${label[$program]}" -v w="$wall" -v f="$files" -v v="$values" -v n="$nowhere" -v a="$absolute" \
            -v m="$in_mirror" 'BEGIN { printf "%-32s %8.3f %7d %8d %8.1f%% %8.1f%% %10.1f%%\n", p, w, f, v,
                100 * n / v, 100 * a / v, 100 * m / v }'
    done
    local p c
    p=$(median < "$work/$folder.plain")
    c=$(median < "$work/$folder.convert")
    awk -v p="$p" -v c="$c" 'BEGIN { printf "conversion adds %.3f s, %.1f%% of the run (target <= 10%%)\n", c - p,
        100 * (c - p) / p }'
    p=$(median < "$work/$folder.wget")
    c=$(median < "$work/$folder.wget_k")
    awk -v p="$p" -v c="$c" 'BEGIN { printf "wget -k adds %.3f s, %.1f%% of its run\n", c - p, 100 * (c - p) / p }'
}

bench_site site "synthetic site: $pages pages"
bench_site docs "Python 3.11 documentation ($docs_dir)"
