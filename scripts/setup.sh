#!/usr/bin/env bash
# Installs everything Harvestly needs to build, test and benchmark on Debian 12.
# Idempotent: packages that are already present are skipped, and apt-get update runs
# only when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config git clang-format clang-tidy
    qt6-base-dev libgl-dev qt6-translations-l10n
    libcurl4-openssl-dev libssl-dev openssl ca-certificates
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev
    fonts-wqy-microhei
    python3
    desktop-file-utils appstream man-db
    debhelper dpkg-dev lintian
    # The desktop session test: a display, a window manager, a notification area, input and
    # the accessibility bus.
    xvfb xauth openbox trayer xdotool x11-utils libx11-6 dbus-daemon at-spi2-core python3-pyatspi
    # The offline browsing test: a converted mirror opened in a real browser.
    chromium
)
if [ "${1:-}" = "--bench" ]; then
    packages+=(nginx-light wget wget2 curl time python3.11-doc strace linux-perf)
fi
if [ "${1:-}" = "--screenshots" ]; then
    packages+=(imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all packages present"
    exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
