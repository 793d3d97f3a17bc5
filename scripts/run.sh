#!/usr/bin/env bash
# Installs what is missing, builds the programs and runs the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARVESTLY_TESTS=OFF > /dev/null
cmake --build build -j "$(nproc)"
build/cli/harvestly-cli
