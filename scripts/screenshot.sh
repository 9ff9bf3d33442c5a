#!/bin/bash
# Regenerates docs/screenshot.png from a real full-screen run: Glimmora.scr
# /s under Wine on a private 1024x640 Xvfb, on the sample pictures (or on
# FOLDER), photographed mid-slideshow; then a key press ends the run.
#
#   bash scripts/screenshot.sh [FOLDER]
#
# GLIMMORA_SHOT_SECONDS (default 19, the first cross-fade with the default
# settings) is how long the slideshow runs first.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
export WINEPREFIX="$root/build/screenshot-wineprefix"
source "$root/scripts/saver-common.sh"
source "$root/scripts/private-xvfb.sh"

bash scripts/setup.sh
build_saver
pictures="$(picture_folder "$@")"

trap 'end_saver_run' EXIT

start_private_xvfb 1024x640x24 "$root/build/screenshot-xvfb.log"
use_pictures "$pictures"
"$wine_exec" "$scr" /s &
saver_pid=$!
sleep "${GLIMMORA_SHOT_SECONDS:-19}"
kill -0 "$saver_pid" 2>/dev/null || { echo "Glimmora.scr /s ended before the screenshot" >&2; exit 1; }
mkdir -p docs
import -display "$DISPLAY" -window root -strip png:docs/screenshot.png
echo "==> docs/screenshot.png"
xdotool key space
for _ in $(seq 100); do
    kill -0 "$saver_pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$saver_pid" 2>/dev/null; then
    echo "Glimmora.scr /s did not end on a key press" >&2
    exit 1
fi
saver_pid=""
