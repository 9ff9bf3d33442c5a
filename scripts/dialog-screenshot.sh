#!/bin/bash
# Takes the README's picture of the configuration dialog: Glimmora.scr /c
# under Wine on a private Xvfb, with three example folders in the list,
# captured with ImageMagick into docs/dialog.png (or the file given).
# Everything it starts (Xvfb, the saver, its wineserver) is gone when it ends.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
output="${1:-$root/docs/dialog.png}"
# A prefix of its own, so the example folders never reach another one.
export WINEPREFIX="$root/build/screenshot-wineprefix"
source "$root/scripts/saver-common.sh"
source "$root/scripts/private-xvfb.sh"

bash scripts/setup.sh
build_saver >/dev/null

trap 'end_saver_run own-xvfb-only' EXIT
mkdir -p "$root/build"
start_private_xvfb 1024x768x24 "$root/build/dialog-screenshot-xvfb.log"
draw_own_captions

key='HKCU\Software\Glimmora'
"$wine_exec" reg delete "$key" /f >/dev/null 2>&1 || true
"$wine_exec" reg add "$key" /v DirCount /t REG_DWORD /d 3 /f >/dev/null
"$wine_exec" reg add "$key" /v Dir001 /t REG_SZ /d 'D:\Photos\Family' /f >/dev/null
"$wine_exec" reg add "$key" /v Dir002 /t REG_SZ /d 'C:\Users\Public\Pictures' /f >/dev/null
"$wine_exec" reg add "$key" /v Dir003 /t REG_SZ /d 'D:\Photos\2024 Summer' /f >/dev/null

"$wine_exec" "$scr" /c &
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
