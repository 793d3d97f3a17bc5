#!/usr/bin/env bash
# What TLS costs: the synthetic site mirrored from one loopback nginx over http:// and over
# https:// (a certificate authority made here with openssl, handed to every program), by
# harvestly-cli, `wget -r -np -nH` and `wget2 -r -np -nH --max-threads=1`. Prints per program
# the median wall time of each, the https/http ratio, harvestly-cli's https time over each
# peer's, and whether TLS costs harvestly-cli no more than it costs wget.
#
#   bash bench/site/https.sh [ROUNDS] [PAGES] [BIG_FILES] [BIG_MB]
#
# HARVESTLY_CLI=path measures another build of harvestly-cli (default: a Release build here).
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
rounds=${1:-5}
pages=${2:-2000}
big_files=${3:-3}
big_mb=${4:-20}

bash scripts/setup.sh --bench > /dev/null
bench_harvestly_cli

work=$(mktemp -d)
chmod 755 "$work" # nginx workers read the site as an unprivileged user
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
port=$(free_port)
tls_port=$(free_port)

# The same site twice: its full addresses name the server they are served from.
python3 bench/site/make_site.py "$work/www" --pages "$pages" --big-files "$big_files" --big-mb "$big_mb" \
    --host "127.0.0.1:$port" > /dev/null
cp -a "$work/www/site" "$work/www/site-tls"
find "$work/www/site-tls" -name '*.html' -exec sed -i \
    "s|http://127.0.0.1:$port/site/|https://127.0.0.1:$tls_port/site-tls/|g" {} +

# A certificate authority and a server certificate for 127.0.0.1, valid for two days.
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj /CN=bench-ca \
    -keyout "$work/ca.key" -out "$work/ca.pem" 2> /dev/null
openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj /CN=127.0.0.1 \
    -keyout "$work/server.key" -out "$work/server.csr" 2> /dev/null
printf 'subjectAltName=IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' > "$work/server.ext"
openssl x509 -req -in "$work/server.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
    -extfile "$work/server.ext" -out "$work/server.pem" 2> /dev/null

# One nginx, both listeners: the plain one and the TLS one serve the same folder.
start_nginx "$work" "$work/www" "$port" "        listen 127.0.0.1:$tls_port ssl;
        ssl_certificate $work/server.pem;
        ssl_certificate_key $work/server.key;
        keepalive_requests 100000;"
export XDG_CONFIG_HOME="$work/config" # a fresh settings store

command_of() { # program scheme dest: the command line in `cmd`
    local program=$1 scheme=$2 dest=$3 url folder=site p=$port
    if [ "$scheme" = https ]; then folder=site-tls; p=$tls_port; fi
    url="$scheme://127.0.0.1:$p/$folder/index.html"
    case $program in
    harvestly) cmd=(env SSL_CERT_FILE="$work/ca.pem" "$HARVESTLY_CLI" -q -y -c --index --continue-on-error --https "$url" "$dest") ;;
    wget) cmd=(wget -r -l inf -np -nH --cut-dirs=1 -q -e robots=off --reject-regex '[?]' --ca-certificate="$work/ca.pem" -P "$dest" "$url") ;;
    wget2_1) cmd=(wget2 -r -l 0 -np -nH --cut-dirs=1 -q --robots=off --reject-regex '[?]' --max-threads=1 --ca-certificate="$work/ca.pem" -P "$dest" "$url") ;;
    esac
}

measure() { # program scheme round: appends the wall time to $work/times.program.scheme
    local dest="$work/out/$1.$2.$3"
    mkdir -p "$dest"
    command_of "$1" "$2" "$dest"
    /usr/bin/time -f "%e" -o "$work/time" "${cmd[@]}" > /dev/null 2>&1 || true
    # The last line: a peer that exits non-zero gets "Command exited with non-zero status N" first.
    tail -n 1 "$work/time" >> "$work/times.$1.$2"
    find "$dest" -type f ! -name error.log ! -name shortcut.url | wc -l > "$work/files.$1.$2"
    rm -rf "$dest"
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

programs=(harvestly wget wget2_1)
declare -A label=([harvestly]=harvestly-cli [wget]=wget [wget2_1]="wget2 1 thread")
for program in "${programs[@]}"; do
    measure "$program" https 0 # unmeasured: the page cache
    : > "$work/times.$program.http"
    : > "$work/times.$program.https"
done
for round in $(seq "$rounds"); do
    for program in "${programs[@]}"; do
        measure "$program" http "$round"
        measure "$program" https "$round"
    done
done

echo "synthetic site: $pages pages, $big_files files of $big_mb MB; $rounds rounds, medians"
printf '%-16s %9s %9s %9s %12s %12s\n' program "http s" "https s" "https/http" "files http" "files https"
declare -A ratio
for program in "${programs[@]}"; do
    http=$(median < "$work/times.$program.http")
    https=$(median < "$work/times.$program.https")
    ratio[$program]=$(awk -v a="$https" -v b="$http" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')
    echo "$https" > "$work/median.$program"
    printf '%-16s %9.3f %9.3f %9s %12d %12d\n' "${label[$program]}" "$http" "$https" "${ratio[$program]}" \
        "$(cat "$work/files.$program.http")" "$(cat "$work/files.$program.https")"
done
h=$(cat "$work/median.harvestly")
for peer in wget wget2_1; do
    awk -v h="$h" -v p="$(cat "$work/median.$peer")" -v t="${label[$peer]}" \
        'BEGIN { printf "harvestly-cli https time / %s https time: %.2f\n", t, h / p }'
done
awk -v h="${ratio[harvestly]}" -v w="${ratio[wget]}" 'BEGIN {
    printf "TLS costs harvestly-cli %.2fx and wget %.2fx: %s\n", h, w, (h <= w) ? "met" : "NOT met" }'
