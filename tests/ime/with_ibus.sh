#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Copyright (C) 2026 The Kotrina developers
# Runs a test program against a real Japanese input method: an X server of its own
# (Xvfb), a D-Bus session of its own, ibus with the mozc engine, and Qt talking to ibus.
# Usage: with_ibus.sh TEST_PROGRAM [ARGUMENTS…]
#
# A machine without ibus, mozc, Xvfb or xdotool skips the test (status 77); in CI
# (CI=true) the set-up script installs them, so their absence there is a failure.
set -u

unavailable() {
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $1 (scripts/setup.sh installs it)" >&2
        exit 1
    fi
    echo "SKIP: $1 (scripts/setup.sh installs it)"
    exit 77
}

if [ "${1:-}" != --inside ]; then
    for tool in xvfb-run xauth dbus-run-session ibus-daemon ibus xdotool; do
        command -v "$tool" >/dev/null || unavailable "$tool is not installed"
    done
    [ -x /usr/lib/ibus-mozc/ibus-engine-mozc ] || unavailable "ibus-mozc is not installed"
    # Everything the session keeps (ibus's address and settings, mozc's dictionary of the
    # user) goes into a home of its own, so the user's own is never touched and every run
    # starts alike.
    home=$(mktemp -d) || exit 1
    # The input method's own processes may still be ending when the session is over.
    trap 'for _ in $(seq 50); do rm -rf "$home" 2>/dev/null && break; sleep 0.1; done' EXIT
    export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_CACHE_HOME="$home/.cache" \
        XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/run"
    mkdir -p "$XDG_CONFIG_HOME/mozc" "$XDG_CACHE_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
    # Mozc composes from the start, as after the 半角/全角 key.
    printf '%s\n' 'engines { name: "mozc-jp" longname: "Mozc" layout: "default" rank: 80 }' \
        'active_on_launch: True' >"$XDG_CONFIG_HOME/mozc/ibus_config.textproto"
    session=(xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" dbus-run-session --
             bash "$(readlink -f "$0")" --inside "$@")
    if [ "$(id -u)" -eq 0 ]; then
        # Mozc's converter refuses to run as root: the session runs as nobody.
        command -v setpriv >/dev/null || unavailable "setpriv is not installed"
        nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        # A build under a folder nobody may enter (root's home) is run from a copy.
        program=$1
        if ! "${nobody[@]}" test -x "$program"; then
            mkdir -p "$home/program"
            cp "$program" "$home/program/" || exit 1
            session[${#session[@]} - $#]="$home/program/$(basename "$program")"
            if [ -n "${KOTRINA_TEST_TEMPLATE:-}" ]; then
                cp "$KOTRINA_TEST_TEMPLATE" "$home/program/" || exit 1
                export KOTRINA_TEST_TEMPLATE="$home/program/$(basename "$KOTRINA_TEST_TEMPLATE")"
            fi
        fi
        chown -R 65534:65534 "$home"
        (cd /tmp && "${nobody[@]}" "${session[@]}")
    else
        "${session[@]}"
    fi
    exit $?
fi
shift

# Ends what this session started: ibus, and mozc's converter, which ibus's engine starts
# and which outlives it (known by the session's own home).
end_session() {
    ibus exit >/dev/null 2>&1
    for proc in /proc/[0-9]*; do
        [ "$(cat "$proc/comm" 2>/dev/null)" = mozc_server ] || continue
        tr '\0' '\n' <"$proc/environ" 2>/dev/null | grep -qxF "HOME=$HOME" && kill "${proc#/proc/}" 2>/dev/null
    done
}
ibus-daemon --daemonize --replace --xim --panel disable || unavailable "ibus-daemon does not start"
trap end_session EXIT
engine=
for _ in $(seq 100); do
    # Before any program has an input context, choosing the engine reports a failure yet
    # takes; what counts is the engine ibus names afterwards.
    ibus engine mozc-jp >/dev/null 2>&1
    engine=$(ibus engine 2>/dev/null)
    [ "$engine" = mozc-jp ] && break
    sleep 0.1
done
[ "$engine" = mozc-jp ] || unavailable "ibus does not take the engine mozc-jp"

export QT_QPA_PLATFORM=xcb QT_IM_MODULE=ibus LANG=C.UTF-8 LC_ALL=C.UTF-8
"$@"
