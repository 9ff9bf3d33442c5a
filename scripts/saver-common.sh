# Sourced by run.sh, screenshot.sh and dialog-screenshot.sh: builds
# Glimmora.scr, finds pictures and points the saver at them in a Wine prefix
# of the caller's. Needs `root` set to the repository and WINEPREFIX exported.

wine_exec="$root/scripts/wine-exec"
scr="$root/build/windows/src/shell/Glimmora.scr"

build_saver() {
    echo "==> building Glimmora.scr"
    cmake --preset windows >/dev/null
    cmake --build --preset windows -j "$(nproc)" --target Glimmora
}

# picture_folder [FOLDER]: prints the absolute folder, or generates the
# sample pictures once and prints theirs.
picture_folder() {
    if [ $# -ge 1 ]; then
        (cd "$1" && pwd)
        return
    fi
    local samples="$root/build/sample-pictures"
    if [ ! -d "$samples" ]; then
        echo "==> generating sample pictures" >&2
        cmake -S "$root" -B "$root/build/tools" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DGLIMMORA_BUILD_TESTS=OFF >/dev/null
        cmake --build "$root/build/tools" -j "$(nproc)" --target make_sample_pictures >&2
        "$root/build/tools/tools/make_sample_pictures" "$samples" >&2
    fi
    echo "$samples"
}

# use_pictures FOLDER: the saver reads its folders from the current user's
# registry.
use_pictures() {
    local windows_path
    windows_path="$("$wine_exec" winepath -w "$1" 2>/dev/null | tr -d '\r')"
    "$wine_exec" reg add 'HKCU\Software\Glimmora' /v DirCount /t REG_DWORD /d 1 /f >/dev/null
    "$wine_exec" reg add 'HKCU\Software\Glimmora' /v Dir001 /t REG_SZ /d "$windows_path" /f >/dev/null
    echo "==> pictures from $windows_path"
}

# Wine draws window captions itself: a bare Xvfb has no window manager.
draw_own_captions() {
    "$wine_exec" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null
}

# Ends every Wine process of the caller's own prefix, and no other.
end_prefix_processes() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    return 0
}

# Ends what a script started, at exit: the saver (it may have ended already),
# the prefix's processes and the private X server. Each step may find its
# process gone already; under set -e none may stop the rest. With
# "own-xvfb-only" the prefix's processes are ended only on a private X server.
saver_pid=""
end_saver_run() {
    [ -n "$saver_pid" ] && kill "$saver_pid" 2>/dev/null || true
    if [ "${1:-}" != own-xvfb-only ] || [ -n "${xvfb_pid:-}" ]; then
        end_prefix_processes
    fi
    stop_private_xvfb
}
