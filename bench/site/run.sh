#!/usr/bin/env bash
# Mirrors two sites from one loopback nginx with harvestly-cli and with its peers, in turn, and
# prints per site the median wall and CPU time, the peak resident memory, harvestly-cli's time as
# a ratio of each peer's, and whether each peer stored the same files byte for byte.
#
#   bash bench/site/run.sh [ROUNDS] [PAGES] [BIG_FILES] [BIG_MB]
#
# Sites: the synthetic one (bench/site/make_site.py, PAGES pages and BIG_FILES files of BIG_MB MB)
# and the Python 3.11 documentation of Debian's python3.11-doc. Peers: wget, wget2 with one
# thread, wget2 with its default five threads, and the floor: one `curl -K` over one kept-alive
# connection fetching the addresses harvestly-cli stored, with nothing parsed. Then peak memory
# of harvestly-cli on the synthetic site at PAGES and at ten times PAGES pages.
# HARVESTLY_CLI=path measures another build of harvestly-cli (default: a Release build here);
# HARVESTLY_CONNECTIONS=N runs it with --connections N.
set -euo pipefail
connections=${HARVESTLY_CONNECTIONS:-}
cd "$(dirname "$0")/../.."
source bench/nginx.sh
rounds=${1:-5}
pages=${2:-2000}
big_files=${3:-3}
big_mb=${4:-20}
docs_dir=/usr/share/doc/python3.11/html

bash scripts/setup.sh --bench > /dev/null
bench_harvestly_cli

work=$(mktemp -d)
chmod 755 "$work" # nginx workers read the site as an unprivileged user
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
# The pages name their server in full addresses: the port is chosen before the site is written.
port=$(free_port)
python3 bench/site/make_site.py "$work/www" --pages "$pages" --big-files "$big_files" --big-mb "$big_mb" \
    --host "127.0.0.1:$port"
ln -s "$docs_dir" "$work/www/docs"
start_nginx "$work" "$work/www" "$port"
export XDG_CONFIG_HOME="$work/config" # a fresh settings store: no stored filters or depth

# The command line of each program mirroring http://127.0.0.1:$port/$folder/... into $1, in `cmd`.
command_of() {
    local program=$1 dest=$2
    case $program in
    harvestly) cmd=("$HARVESTLY_CLI" -q -y -c --index --continue-on-error ${connections:+--connections "$connections"} "$url" "$dest") ;;
    # Both wgets: every depth, no robots.txt, and no query addresses (harvestly-cli refuses them).
    wget) cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' -P "$dest" "$url") ;;
    wget2_1) cmd=(wget2 -r -l 0 -np -nH --cut-dirs=1 -q --robots=off --reject-regex '[?]' --max-threads=1 -P "$dest" "$url") ;;
    wget2_5) cmd=(wget2 -r -l 0 -np -nH --cut-dirs=1 -q --robots=off --reject-regex '[?]' -P "$dest" "$url") ;;
    floor) cmd=(curl -s -K "$work/$folder.curl" --create-dirs --output-dir "$dest") ;;
    esac
}

# The floor's list: every file harvestly-cli stored, as address and output name.
write_floor_list() {
    (cd "$1" && find . -type f | sed 's|^\./||' | sort) | while read -r name; do
        printf 'url = "http://127.0.0.1:%s/%s/%s"\noutput = "%s"\n' "$port" "$folder" "$name" "$name"
    done > "$work/$folder.curl"
}

# Every mirror goes to a folder of its own and stays until the end. Deleting thousands of files
# just before a run would slow that run's file creation: ext4 without a journal passes over
# inodes freed in the last seconds one by one when it allocates a new one.
# GNU time's figures: the last line of its file. A program that exits non-zero (wget counts the
# 404s of a crawl) gets a first line "Command exited with non-zero status N", which is no figure.
time_figures() { tail -n 1 "$1"; }

measure() { # program round: mirrors once, appends "wall cpu peak_kib" to $work/$folder.$program
    local program=$1 dest="$work/out/$folder/$1.$2"
    last[$program]=$dest
    mkdir -p "$dest"
    command_of "$program" "$dest"
    # harvestly-cli ends with a sync of the file system; what the run before left unwritten is
    # written first, so that no run pays for another's.
    sync
    # wget's exit status counts the 404s of a crawl; only the stored files are judged.
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    rm -f "$dest/error.log" "$dest/shortcut.url" # harvestly-cli's own, no peer writes them
    time_figures "$work/time" | awk '{ printf "%.3f %.3f %d\n", $1, $2 + $3, $4 }' >> "$work/$folder.$program"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
column_median() { cut -d' ' -f"$2" "$1" | median; }

same_files() { # peer: compares its last mirror with harvestly-cli's
    local h=${last[harvestly]} p=${last[$1]}
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
        echo "no: $only_h only harvestly, $only_p only peer, $differ differ"
    fi
}

programs=(harvestly wget wget2_1 wget2_5 floor)
declare -A label=([harvestly]=harvestly-cli [wget]=wget [wget2_1]="wget2 1 thread" [wget2_5]="wget2 5 threads"
    [floor]="curl -K floor")

bench_site() { # folder start_page title
    folder=$1
    url="http://127.0.0.1:$port/$folder/$2"
    declare -gA last=()
    # An unmeasured first pass: reads the site into the page cache and gives the floor its list.
    measure harvestly 0
    write_floor_list "${last[harvestly]}"
    for program in "${programs[@]}"; do
        : > "$work/$folder.$program"
    done
    for round in $(seq "$rounds"); do
        for program in "${programs[@]}"; do
            measure "$program" "$round"
        done
    done

    echo
    echo "$3 ($rounds rounds, medians)"
    printf '%-16s %8s %8s %10s %7s %12s  %s\n' program "wall s" "CPU s" "peak KiB" files "harvestly/x" "same files"
    local h_wall
    h_wall=$(column_median "$work/$folder.harvestly" 1)
    for program in "${programs[@]}"; do
        local wall cpu peak files ratio same
        wall=$(column_median "$work/$folder.$program" 1)
        cpu=$(column_median "$work/$folder.$program" 2)
        peak=$(cut -d' ' -f3 "$work/$folder.$program" | sort -n | tail -1)
        files=$(find "${last[$program]}" -type f | wc -l)
        ratio=$(awk -v h="$h_wall" -v p="$wall" 'BEGIN { printf "%.2f", (p > 0) ? h / p : 0 }')
        if [ "$program" = harvestly ]; then same=-; else same=$(same_files "$program"); fi
        printf '%-16s %8.3f %8.3f %10d %7d %12s  %s\n' "${label[$program]}" "$wall" "$cpu" "$peak" "$files" "$ratio" "$same"
        echo "$program $ratio" >> "$work/$folder.ratios"
    done
}

ratio_of() { awk -v p="$2" '$1 == p { print $2 }' "$work/$1.ratios"; }
target() { # folder peer limit text
    local r
    r=$(ratio_of "$1" "$2")
    awk -v r="$r" -v l="$3" -v t="$4" 'BEGIN { printf "  %-40s %5.2f (target <= %.2f) %s\n", t, r, l, (r <= l) ? "met" : "NOT met" }'
}

bench_site site index.html "synthetic site: $pages pages, $big_files files of $big_mb MB"
bench_site docs index.html "Python 3.11 documentation ($docs_dir)"

echo
echo "targets (harvestly-cli wall time over the peer's, this run):"
target docs floor 1.1 "docs / curl -K floor"
target docs wget2_5 1.0 "docs / wget2 5 threads"
target site wget 0.5 "synthetic / wget"

# Memory: the same site shape at ten times the pages, no large files.
peak_of() { # pages: "peak_kib files" of one harvestly-cli mirror of a new synthetic site
    rm -rf "$work/www/site"
    python3 bench/site/make_site.py "$work/www" --pages "$1" --big-files 0 --host "127.0.0.1:$port" > /dev/null
    /usr/bin/time -f "%M" -o "$work/time" "$HARVESTLY_CLI" -q -y -c --index --continue-on-error \
        "http://127.0.0.1:$port/site/index.html" "$work/out/mem$1" > /dev/null || true
    echo "$(time_figures "$work/time") $(find "$work/out/mem$1" -type f | wc -l)"
}
read -r small_peak small_files <<< "$(peak_of "$pages")"
read -r large_peak large_files <<< "$(peak_of $((pages * 10)))"
echo
echo "memory of harvestly-cli (synthetic site without large files):"
awk -v sp="$small_peak" -v sf="$small_files" -v lp="$large_peak" -v lf="$large_files" 'BEGIN {
    printf "  %d files: peak %d KiB; %d files: peak %d KiB; ratio %.2f (target <= 1.20)\n", sf, sp, lf, lp, lp / sp
    printf "  %.2f KiB per further known address\n", (lp - sp) / (lf - sf) }'
