#!/usr/bin/env bash
# Builds both halves and runs every test: the native unit tests, then the
# Windows build's tests under Wine (screen, sound and prefix of their own).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset mingw >/dev/null
cmake --build --preset mingw
tools/wine-session ctest --preset mingw
