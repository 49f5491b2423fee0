#!/usr/bin/env bash
# Builds kestrova.exe and starts it under Wine on the current X display.
# With no display it runs in a virtual screen and saves a screenshot of
# what appears to build/kestrova-screen.png.
set -euo pipefail
cd "$(dirname "$0")/.."

tools/install-deps.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target kestrova
exe=$PWD/build/mingw/resources/kestrova.exe

# Wine runs in the test bed's Debian 13 root (tools/wine-root); the prefix
# stays in the build folder between runs.
if [ -n "${DISPLAY:-}" ]; then
    export WINEPREFIX=${WINEPREFIX:-$PWD/build/run-prefix}
    exec tools/wine-root bash -c '
        if [ ! -d "$WINEPREFIX" ]; then
            wineboot -i >/dev/null 2>&1
            wineserver -w
            tools/wine-prefix-fonts >/dev/null 2>&1
        fi
        exec wine "$1"' run "$exe"
fi

shot=$PWD/build/kestrova-screen.png
KESTROVA_SESSION_DIR=$PWD/build/run-session tools/wine-session bash -c '
    wine "$1" >/dev/null 2>&1 &
    sleep 8
    import -window root "$2"
    echo "No X display: kestrova.exe ran in a virtual screen; its screenshot is $2"
    wineserver -k
' run "$exe" "$shot"
