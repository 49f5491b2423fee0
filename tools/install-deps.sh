#!/usr/bin/env bash
# Installs what building and testing Kestrova needs on Debian 12, once.
# Idempotent: packages already there are left alone. Wine and what runs
# beside it (the virtual screen, the sound server) live in the test bed's
# Debian 13 root, which tools/wine-root makes with debootstrap.
set -euo pipefail

packages=(
    cmake make g++ python3 git
    googletest libgtest-dev libbenchmark-dev
    clang-14 libclang-rt-14-dev
    g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
    wixl
    debootstrap util-linux
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    sudo=sudo
else
    sudo=
fi
export DEBIAN_FRONTEND=noninteractive
# Another apt (one started at boot) may hold the package locks: wait for it.
apt_get="$(dirname "$0")/apt-get-waiting"
$sudo "$apt_get" update -qq
$sudo "$apt_get" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
