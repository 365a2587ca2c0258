#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Sets up a fresh Debian 12 machine for Kotrina: installs every package the build, the
# program and the tests need, then configures and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-qpa-plugins libqt6sql6-sqlite qt6-translations-l10n
    libsqlite3-dev sqlite3 libqt6sql6-psql libpq-dev postgresql postgresql-contrib libicu-dev libcups2-dev libxlsxwriter-dev libzint-dev libasound2-dev
    fonts-ipafont-mincho fonts-ipafont-gothic fonts-noto-cjk fonts-symbola
    poppler-utils zbar-tools python3-openpyxl xvfb xdg-utils
    cups cups-client cups-bsd printer-driver-cups-pdf
    librsvg2-bin desktop-file-utils shared-mime-info libglib2.0-bin dpkg-dev lintian groff-base
    clang libclang-rt-14-dev
    ibus ibus-mozc dbus-x11 xdotool xauth
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

# A real printer to print to: the CUPS scheduler with a queue that writes PDF files into
# ~/PDF of the user who prints. Without a service manager the scheduler is started here.
# Adding a queue needs root; a normal user asks the administrator (see the README).
scheduler_running() { [[ "$(LC_ALL=C lpstat -r 2>/dev/null)" == *"scheduler is running"* ]]; }
if ! scheduler_running; then
    "${sudo[@]}" cupsd
    for _ in $(seq 100); do
        scheduler_running && break
        sleep 0.1
    done
fi
if ! lpstat -p Kotrina-PDF >/dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then
        # lpadmin warns that printer drivers are deprecated; the queue works all the same.
        lpadmin -p Kotrina-PDF -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd -E 2>/dev/null
    else
        echo "The printer queue Kotrina-PDF is missing; see the README (a real printer for trying)." >&2
    fi
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOTRINA_WERROR=ON
cmake --build build
