#!/bin/bash
# Takes the README's picture of the configuration dialog: Glimmora.scr /c
# under Wine on a private Xvfb, with three example folders in the list,
# captured with ImageMagick into docs/dialog.png (or the file given).
# Everything it starts (Xvfb, the saver, its wineserver) is gone when it ends.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
output="${1:-$root/docs/dialog.png}"

bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)" --target Glimmora >/dev/null

# A prefix of its own, so the example folders never reach the tests' one.
export WINEPREFIX="$root/build/screenshot-wineprefix"
wine_exec="$root/scripts/wine-exec"

display=120
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
saver_pid=""
cleanup() {
    [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null || true
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$display" ] && break
    sleep 0.1
done
export DISPLAY=":$display"

# With no window manager, Wine draws the caption itself only when told to.
"$wine_exec" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
key='HKCU\Software\Glimmora'
"$wine_exec" reg delete "$key" /f >/dev/null 2>&1 || true
"$wine_exec" reg add "$key" /v DirCount /t REG_DWORD /d 3 /f >/dev/null
"$wine_exec" reg add "$key" /v Dir001 /t REG_SZ /d 'D:\Photos\Family' /f >/dev/null
"$wine_exec" reg add "$key" /v Dir002 /t REG_SZ /d 'C:\Users\Public\Pictures' /f >/dev/null
"$wine_exec" reg add "$key" /v Dir003 /t REG_SZ /d 'D:\Photos\2024 Summer' /f >/dev/null

"$wine_exec" build/windows/src/shell/Glimmora.scr /c &
saver_pid=$!
window=""
for _ in $(seq 120); do
    window="$(xdotool search --name '^Glimmora by Quillon$' 2>/dev/null | head -1 || true)"
    [ -n "$window" ] && break
    sleep 0.5
done
[ -n "$window" ] || { echo "the configuration dialog did not appear" >&2; exit 1; }
sleep 1  # let it paint
mkdir -p "$(dirname "$output")"
import -window "$window" "$output"
echo "==> $output"

# Cancel, so nothing is stored, and let the saver end by itself.
xdotool key --window "$window" Escape 2>/dev/null || true
for _ in $(seq 50); do
    kill -0 "$saver_pid" 2>/dev/null || break
    sleep 0.2
done
