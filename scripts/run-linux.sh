#!/bin/bash
# Runs the Linux program, glimmora, on the pictures of FOLDER (with all its
# subfolders), or on generated sample pictures when no folder is given.
#
#   bash scripts/run-linux.sh [FOLDER]
#
# With an X display it opens a window over the screen there; q, Escape or
# the window's close button end it. Without one it runs on the root window
# of a private Xvfb for GLIMMORA_RUN_SECONDS seconds (default 30), saving a
# screenshot every 5 seconds under build/run-linux-screenshots/, then ends
# it with SIGTERM as XScreenSaver does.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
source "$root/scripts/saver-common.sh"
source "$root/scripts/private-xvfb.sh"

bash scripts/setup.sh
echo "==> building glimmora"
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target glimmora
program="$root/build/linux/glimmora"
pictures="$(picture_folder "$@")"
echo "==> pictures from $pictures"

if [ -n "${DISPLAY:-}" ]; then
    echo "==> glimmora -window  (q, Escape or the close button end it)"
    exec "$program" -window --dir "$pictures"
fi

glimmora_pid=""
finish() {
    [ -n "$glimmora_pid" ] && kill "$glimmora_pid" 2>/dev/null && wait "$glimmora_pid" 2>/dev/null
    stop_private_xvfb
}
trap finish EXIT

start_private_xvfb 1024x768x24 "$root/build/run-linux-xvfb.log"
seconds="${GLIMMORA_RUN_SECONDS:-30}"
shots="$root/build/run-linux-screenshots"
rm -rf "$shots"
mkdir -p "$shots"
echo "==> no DISPLAY: running glimmora -root on a private Xvfb ($DISPLAY) for $seconds s"
echo "==> a screenshot every 5 s goes to $shots/"
"$program" -root --dir "$pictures" &
glimmora_pid=$!
if ! screenshot_every_5s "$glimmora_pid" "$shots" "$seconds"; then
    glimmora_pid=""
    echo "==> glimmora ended early with status $ended_status"
    exit "$ended_status"
fi
kill -TERM "$glimmora_pid"
status=0
wait "$glimmora_pid" || status=$?
glimmora_pid=""
echo "==> glimmora ended on SIGTERM with status $status; the screenshots are in $shots/"
exit "$status"
