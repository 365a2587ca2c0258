#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine for Kotrina: installs every package the build, the
# program and the tests need, then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite qt6-translations-l10n
    libsqlite3-dev sqlite3 libcups2-dev libxlsxwriter-dev
    fonts-ipafont-mincho fonts-ipafont-gothic
    poppler-utils python3-openpyxl xvfb xdg-utils
)

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    "${sudo[@]}" apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOTRINA_WERROR=ON
cmake --build build
