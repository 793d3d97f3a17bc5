#!/usr/bin/env bash
# Installs the packages built by scripts/package.sh, tries the installed programs, and removes
# the packages again, also when a check fails.
#     bash scripts/test-packages.sh [FOLDER_WITH_THE_DEBS]
set -euo pipefail
cd "$(dirname "$0")/.."
debs=${1:-build-deb}

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
remove() {
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -qq harvestly harvestly-cli > /dev/null
    rm -rf "${XDG_CONFIG_HOME:?}"
}
# A settings store of its own, so that settings saved on this machine cannot change the runs.
XDG_CONFIG_HOME=$(mktemp -d)
export XDG_CONFIG_HOME
trap remove EXIT
(cd "$debs" && DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
     ./harvestly-cli_*.deb ./harvestly_*.deb)

echo "== installed harvestly-cli --version"
/usr/bin/harvestly-cli --version
man -w harvestly-cli
man -w harvestly
# The console package must need no graphics libraries, and both programs find all they link.
if dpkg-query -W -f='${Depends}\n' harvestly-cli | grep -E 'libqt6(gui|widgets)'; then
    echo "harvestly-cli depends on a Qt graphics library" >&2
    exit 1
fi
if ldd /usr/bin/harvestly-cli /usr/bin/harvestly | grep 'not found'; then
    exit 1
fi

mirror=build-deb/sample-mirror
bash scripts/mirror-sample.sh /usr/bin/harvestly-cli "$mirror"
for file in index.html about.html images/logo.gif shortcut.url; do
    [ -f "$mirror/$file" ] || { echo "the installed program did not store $file" >&2; exit 1; }
done
tail -n 1 "$mirror/error.log" | grep -q 'Site processing complete\.$'
echo "== installed packages work; removing them"
