#!/usr/bin/env bash
# Builds both halves and runs every test: the native unit tests, then the
# Windows build's tests under Wine (screen, sound and prefix of their own).
# Each step's start is printed with the seconds spent so far.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { echo "== $* ($SECONDS s)"; }

step "installing what is missing"
tools/install-deps.sh

# The test bed's root, when it is not made yet, is made while the builds
# run: debootstrap and apt wait mostly on the network and the disk, the
# compilers on the cores. A build that fails leaves it to finish.
mkdir -p build
tools/wine-root --path >build/wine-root.log 2>&1 &
root_maker=$!

# The presets name no job count: each build runs one job per core unless
# CMAKE_BUILD_PARALLEL_LEVEL says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

step "native build and unit tests"
cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

# The unit tests again under ASan and UBSan, then each fuzz target briefly,
# one per core at a time (each is single-threaded).
step "the unit tests under the sanitizers"
cmake --preset native-sanitize >/dev/null
cmake --build --preset native-sanitize
ctest --preset native-sanitize
step "fuzz targets"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz -j "$CMAKE_BUILD_PARALLEL_LEVEL"

step "Windows build"
cmake --preset mingw >/dev/null
cmake --build --preset mingw

step "waiting for the test bed's root"
if ! wait "$root_maker"; then
    cat build/wine-root.log >&2
    exit 1
fi
cat build/wine-root.log

step "tests under Wine"
# kdriver runs that Wine ended without a word and the scenarios ran again
# (only queries are): one line each, counted whatever the outcome.
retries=build/mingw/wine-retries.log
rm -f "$retries"
status=0
tools/wine-session ctest --preset mingw || status=$?
echo "kdriver runs repeated after Wine ended them: $(cat "$retries" 2>/dev/null | wc -l)"
cat "$retries" 2>/dev/null || true
step "done"
exit "$status"
