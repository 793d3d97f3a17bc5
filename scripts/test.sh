#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors, and runs every test:
# first the engine tests under AddressSanitizer and UndefinedBehaviorSanitizer, then the static
# checks over the whole build and the whole suite, the windows included (offscreen); then builds
# the Debian packages, installs them, tries the installed programs and removes them again.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== Formatting"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

echo "== Engine tests under the sanitizers"
cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DHARVESTLY_WERROR=ON \
      -DHARVESTLY_SANITIZE=ON -DHARVESTLY_GUI=OFF > /dev/null
cmake --build build-sanitize -j "$jobs"

leak_suppressions="$PWD/tests/lsan.supp"
(cd build-sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
     LSAN_OPTIONS=suppressions="$leak_suppressions":print_suppressions=0 \
     ctest --output-on-failure -j "$jobs")

echo "== Every test"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHARVESTLY_WERROR=ON > /dev/null
cmake --build build -j "$jobs"

echo "== Static checks of the whole build, the windows included (.clang-tidy)"
run-clang-tidy -quiet -p build -j "$jobs" "^$PWD/(platform|settings|parse|crawl|res|run|app|ui|cli)/" > build/clang-tidy.log 2>&1 ||
    { grep -E "(warning|error): " build/clang-tidy.log | sort -u; exit 1; }

(cd build && ctest --output-on-failure -j "$jobs")

echo "== Debian packages"
bash scripts/package.sh
bash scripts/test-packages.sh build-deb
