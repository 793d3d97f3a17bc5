#!/usr/bin/env bash
# Builds the Debian packages harvestly and harvestly-cli into build-deb/ and checks them with
# lintian. The build runs in a copy of the tree (dpkg-buildpackage writes its results next to the
# source folder) and skips the tests (DEB_BUILD_OPTIONS=nocheck): scripts/test.sh runs them. For
# a package build that runs them too, use `dpkg-buildpackage -us -uc -b` in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

out=build-deb
rm -rf "$out"
mkdir -p "$out/src"
# The files git knows and new ones it does not ignore, so that uncommitted work is packaged too.
git ls-files -z --cached --others --exclude-standard | tar --null -cf - -T - | tar -x -C "$out/src"

# The build's own output (every compiler command) goes to a log, shown when the build fails.
echo "== dpkg-buildpackage -us -uc -b (log: $out/build.log)"
if ! (cd "$out/src" && DEB_BUILD_OPTIONS="nocheck ${DEB_BUILD_OPTIONS:-}" \
          dpkg-buildpackage -us -uc -b -j"$(nproc)") > "$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log"
    exit 1
fi
rm -rf "$out/src"

echo "== lintian"
lintian --fail-on error,warning "$out"/harvestly_*.changes
ls -l "$out"/*.deb
