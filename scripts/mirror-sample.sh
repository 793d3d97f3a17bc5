#!/usr/bin/env bash
# Serves samples/ on a loopback port and mirrors its site/ folder with the harvestly-cli given.
#     bash scripts/mirror-sample.sh PROGRAM MIRROR_FOLDER
# The exit status is harvestly-cli's.
set -euo pipefail
cd "$(dirname "$0")/.."
program=$1
mirror=$2

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory samples > /dev/null 2>&1 &
server=$!
trap 'kill $server 2> /dev/null || true' EXIT
for _ in $(seq 50); do
    (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break
    sleep 0.1
done

rm -rf "$mirror"
echo "== $program --yes --crawl http://127.0.0.1:$port/site/index.html $mirror"
"$program" --yes --crawl "http://127.0.0.1:$port/site/index.html" "$mirror"
