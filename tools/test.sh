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
tools/wine-session ctest --preset mingw
