#!/usr/bin/env bash
# Builds both halves and runs every test: the native unit tests, then the
# Windows build's tests under Wine (screen, sound and prefix of their own).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

# The presets name no job count: each build runs one job per core unless
# CMAKE_BUILD_PARALLEL_LEVEL says otherwise.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

# The unit tests again under ASan and UBSan, then each fuzz target briefly
# (about two minutes when warm).
cmake --preset native-sanitize >/dev/null
cmake --build --preset native-sanitize
ctest --preset native-sanitize
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

cmake --preset mingw >/dev/null
cmake --build --preset mingw
# kdriver runs that Wine ended without a word and the scenarios ran again
# (only queries are): one line each, counted whatever the outcome.
retries=build/mingw/wine-retries.log
rm -f "$retries"
status=0
tools/wine-session ctest --preset mingw || status=$?
echo "kdriver runs repeated after Wine ended them: $(cat "$retries" 2>/dev/null | wc -l)"
cat "$retries" 2>/dev/null || true
exit "$status"
