#!/usr/bin/env bash
# Installs what is missing, builds both programs, serves the bundled sample site on loopback and
# mirrors it with harvestly-cli; then shows the files it stored and its log.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target harvestly harvestly-cli

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory samples > /dev/null 2>&1 &
server=$!
trap 'kill $server 2> /dev/null || true' EXIT
for _ in $(seq 50); do
    (exec 3<> "/dev/tcp/127.0.0.1/$port") 2> /dev/null && break
    sleep 0.1
done

mirror=build/sample-mirror
rm -rf "$mirror"
echo "== harvestly-cli --yes --crawl http://127.0.0.1:$port/site/index.html $mirror"
build/cli/harvestly-cli --yes --crawl "http://127.0.0.1:$port/site/index.html" "$mirror"

echo
echo "== Files stored in $mirror"
(cd "$mirror" && find . -type f | sort)
echo
echo "== $mirror/error.log"
cat "$mirror/error.log"
