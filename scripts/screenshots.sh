#!/usr/bin/env bash
# Renders the main window (idle, with options, running) and the About box to PNG files under
# docs/. Uses the offscreen platform, so it needs no display; with --xvfb it renders under Xvfb
# instead (installed by `bash scripts/setup.sh --screenshots`).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${HARVESTLY_BUILD_DIR:-build-screenshots}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$build" --target harvestly_screenshots -j 2

mkdir -p docs
if [ "${1:-}" = "--xvfb" ]; then
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$build/tests/ui/harvestly_screenshots" docs
else
    QT_QPA_PLATFORM=offscreen "$build/tests/ui/harvestly_screenshots" docs
fi
ls -l docs/*.png
