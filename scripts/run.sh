#!/bin/bash
# Runs Glimmora.scr in its windowed test mode under Wine, on the pictures of
# FOLDER (with all its subfolders), or on generated sample pictures when no
# folder is given. With --full-screen it runs the full-screen saver (/s)
# instead.
#
#   bash scripts/run.sh [--full-screen] [FOLDER]
#
# With an X display the window opens there; Alt+F4 closes the windowed mode,
# and any key, click or mouse move ends the full-screen saver. Without one
# the saver runs on a private Xvfb for GLIMMORA_RUN_SECONDS seconds (default
# 30) and a screenshot of that screen is saved every 5 seconds under
# build/run-screenshots/, so a headless machine can still see what it showed.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export WINEPREFIX="$root/build/run-wineprefix"
source "$root/scripts/saver-common.sh"
source "$root/scripts/private-xvfb.sh"

mode=/w
if [ "${1:-}" = --full-screen ]; then
    mode=/s
    shift
fi

bash scripts/setup.sh
build_saver
pictures="$(picture_folder "$@")"

trap 'end_saver_run own-xvfb-only' EXIT

if [ -n "${DISPLAY:-}" ]; then
    use_pictures "$pictures"
    if [ "$mode" = /w ]; then
        echo "==> Glimmora.scr /w  (Alt+F4 or a key with Alt closes it)"
    else
        echo "==> Glimmora.scr /s  (any key, click or mouse move ends it)"
    fi
    "$wine_exec" "$scr" "$mode"
    exit $?
fi

start_private_xvfb 1024x768x24 "$root/build/run-xvfb.log"
use_pictures "$pictures"
draw_own_captions
seconds="${GLIMMORA_RUN_SECONDS:-30}"
shots="$root/build/run-screenshots"
rm -rf "$shots"
mkdir -p "$shots"
echo "==> no DISPLAY: running Glimmora.scr $mode on a private Xvfb ($DISPLAY) for $seconds s"
echo "==> a screenshot every 5 s goes to $shots/"
"$wine_exec" "$scr" "$mode" &
saver_pid=$!
if ! screenshot_every_5s "$saver_pid" "$shots" "$seconds"; then
    saver_pid=""
    echo "==> Glimmora.scr ended early with status $ended_status"
    exit "$ended_status"
fi
echo "==> done; the screenshots are in $shots/"
