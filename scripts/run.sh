#!/bin/bash
# Runs Glimmora.scr in its windowed test mode under Wine, on the pictures of
# FOLDER (with all its subfolders), or on generated sample pictures when no
# folder is given. Without an X display it runs on a private Xvfb for
# GLIMMORA_RUN_SECONDS seconds (default 30), since there is nothing to see.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

bash scripts/setup.sh

echo "==> building Glimmora.scr"
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs" --target Glimmora

if [ $# -ge 1 ]; then
    pictures="$(cd "$1" && pwd)"
else
    pictures="$root/build/sample-pictures"
    if [ ! -d "$pictures" ]; then
        echo "==> generating sample pictures"
        cmake -S . -B build/tools -G Ninja -DCMAKE_BUILD_TYPE=Release -DGLIMMORA_BUILD_TESTS=OFF >/dev/null
        cmake --build build/tools -j "$jobs" --target make_sample_pictures
        build/tools/tools/make_sample_pictures "$pictures"
    fi
fi

export WINEPREFIX="$root/build/run-wineprefix"
wine_exec="$root/scripts/wine-exec"

# The saver reads its picture folders from the current user's registry.
windows_path="$("$wine_exec" winepath -w "$pictures" 2>/dev/null | tr -d '\r')"
"$wine_exec" reg add 'HKCU\Software\Glimmora' /v DirCount /t REG_DWORD /d 1 /f >/dev/null
"$wine_exec" reg add 'HKCU\Software\Glimmora' /v Dir001 /t REG_SZ /d "$windows_path" /f >/dev/null
echo "==> pictures from $windows_path"

scr="$root/build/windows/src/shell/Glimmora.scr"
if [ -n "${DISPLAY:-}" ]; then
    echo "==> Glimmora.scr /w  (Alt+F4 or a key with Alt closes it)"
    "$wine_exec" "$scr" /w
else
    seconds="${GLIMMORA_RUN_SECONDS:-30}"
    echo "==> no DISPLAY: running Glimmora.scr /w on a private Xvfb for $seconds s"
    status=0
    timeout "$seconds" "$wine_exec" "$scr" /w || status=$?
    # timeout's 124 means the saver was still running when time was up.
    [ "$status" -eq 124 ] && status=0
    exit "$status"
fi
