#!/usr/bin/env bash
# Installs what is missing, builds both programs, serves the bundled sample site on loopback and
# mirrors it with harvestly-cli; then shows the files it stored and its log.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j "$(nproc)" --target harvestly harvestly-cli

mirror=build/sample-mirror
bash scripts/mirror-sample.sh build/cli/harvestly-cli "$mirror"

echo
echo "== Files stored in $mirror"
(cd "$mirror" && find . -type f | sort)
echo
echo "== $mirror/error.log"
cat "$mirror/error.log"
