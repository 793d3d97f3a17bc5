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

measure() { # program round: appends "wall cpu" to $work/$folder.$program
    local dest="$work/out/$folder/$1.$2"
    last[$1]=$dest
    mkdir -p "$dest"
    command_of "$1" "$dest"
    sync
    /usr/bin/time -f "%e %U %S" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    rm -f "$dest/error.log" "$dest/shortcut.url"
    awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$work/time" >> "$work/$folder.$1"
}

column() { cut -d' ' -f"$2" "$work/$folder.$1" | median; } # program column: its median
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
    echo "$2 ($rounds rounds, medians)"
    printf '%-32s %8s %8s %7s %8s %9s %9s %11s\n' program "wall s" "CPU s" files values "nowhere" absolute \
        "abs. in mirror"
    for program in "${programs[@]}"; do
        local wall cpu files values local_ nowhere absolute in_mirror
        wall=$(column "$program" 1)
        cpu=$(column "$program" 2)
        files=$(find "${last[$program]}" -type f | wc -l)
        # wget's -nH --cut-dirs=1 puts the folder's files at the top, as harvestly-cli does.
        read -r values local_ nowhere absolute in_mirror <<< \
            "$(python3 bench/offline/broken_links.py "${last[$program]}" "http://127.0.0.1:$port/$folder/")"
        awk -v p="${label[$program]}" -v w="$wall" -v c="$cpu" -v f="$files" -v v="$values" -v n="$nowhere" \
            -v a="$absolute" -v m="$in_mirror" 'BEGIN { printf "%-32s %8.3f %8.3f %7d %8d %8.1f%% %8.1f%% %10.1f%%\n",
                p, w, c, f, v, 100 * n / v, 100 * a / v, 100 * m / v }'
    done
    added convert plain "conversion adds" "(target <= 10%)"
    added wget_k wget "wget -k adds" ""
}

added() { # with without text target: the wall and CPU time the first adds to the second
    awk -v pw="$(column "$2" 1)" -v cw="$(column "$1" 1)" -v pc="$(column "$2" 2)" -v cc="$(column "$1" 2)" \
        -v t="$3" -v g="$4" 'BEGIN { printf "%s %.3f s wall, %.1f%% of the run %s; %.3f s CPU, %.1f%% of its CPU\n",
            t, cw - pw, 100 * (cw - pw) / pw, g, cc - pc, 100 * (cc - pc) / pc }'
}

bench_site site "synthetic site: $pages pages"
bench_site docs "Python 3.11 documentation ($docs_dir)"
