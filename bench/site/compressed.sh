#!/usr/bin/env bash
# harvestly-cli with and without --compressed on the Python 3.11 docs from a loopback nginx with
# gzip on: wall time of each mirror, its file count, and whether the two mirrors are identical.
#
#   HARVESTLY_CLI=path bash bench/site/compressed.sh
#
# Run it with `nice`: the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/../.."
source bench/nginx.sh
bench_harvestly_cli
work=$(mktemp -d); chmod 755 "$work"
trap 'stop_nginx "$work"; rm -rf "$work"' EXIT
mkdir -p "$work/www"; ln -s /usr/share/doc/python3.11/html "$work/www/docs"
start_nginx "$work" "$work/www" "" "        gzip on; gzip_types text/css application/javascript text/plain application/json image/svg+xml;"
export XDG_CONFIG_HOME="$work/config"
url="http://127.0.0.1:$port/docs/index.html"
for round in 1 2 3; do
  for mode in plain compressed; do
    rm -rf "$work/$mode"
    extra=(); [ "$mode" = compressed ] && extra=(--compressed)
    /usr/bin/time -f "%e" -o "$work/t" "$HARVESTLY_CLI" -q -y -c --index --continue-on-error "${extra[@]}" "$url" "$work/$mode" > /dev/null 2>&1 || true
    echo "$round $mode $(tail -1 "$work/t") s files $(find "$work/$mode" -type f | wc -l)"
  done
  rm -f "$work"/*/error.log "$work"/*/shortcut.url
  if diff -r -q "$work/plain" "$work/compressed" > /dev/null; then echo "round $round: identical mirrors"; else echo "round $round: mirrors differ"; diff -r -q "$work/plain" "$work/compressed" | head -5; fi
done
# Bytes on the wire for one page, as nginx sends it with and without Accept-Encoding.
curl -s -o /dev/null -w "index.html plain %{size_download} bytes\n" "$url"
curl -s -o /dev/null -H "Accept-Encoding: gzip" --http1.1 -w "index.html gzip %{size_download} bytes\n" "$url"
