# Sourced by the scripts that drive Windows programs under Wine, each on a
# prefix and an Xvfb of its own. The caller sets WINEPREFIX, `work` (its
# scratch folder) and `driver` (saver_driver.exe). This gives wine and drive, a
# cleanup on exit that leaves neither a Wine process nor the Xvfb behind,
# and hold_wine_desktop.

export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
scripts="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../scripts" && pwd)"
wine_exec="$scripts/wine-exec"

source "$scripts/private-xvfb.sh"
background=()
cleanup() {
    local pid
    for pid in "${background[@]}"; do kill "$pid" 2>/dev/null; done
    # Only this prefix's processes: other Wine sessions run beside us.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    for pid in "${background[@]}"; do wait "$pid" 2>/dev/null; done
    stop_private_xvfb
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wine() { "$wine_exec" "$@"; }
drive() { wine "$driver" "$@" 2>/dev/null | tr -d '\r'; }

# hold_wine_desktop WIDTH HEIGHT: the prefix's desktop is up on the X screen
# and stays up until the prefix's server is killed. On a loaded machine the
# desktop can take longer than the 10 s a Wine program waits for it, and the
# program then runs on Wine's null display: a 1024x768 screen no X window
# shows, where the saver's window is never seen. The server is started anew
# when that happens.
hold_wine_desktop() {
    local want="screen $1 $2" got="" attempt i
    for attempt in 1 2 3; do
        rm -f "$work/desktop.out"
        # Straight to the file: a pipe would hold the line until the end.
        wine "$driver" desktop 900000 >"$work/desktop.out" 2>/dev/null &
        background+=($!)
        for ((i = 0; i < 600; i++)); do
            got="$(head -n 1 "$work/desktop.out" 2>/dev/null | tr -d '\r')"
            [ -n "$got" ] && break
            sleep 0.1
        done
        [ "$got" = "$want" ] && return 0
        echo "  Wine's desktop came up as \"$got\", not \"$want\": starting its server anew"
        wineserver -k 2>/dev/null
        wineserver -w 2>/dev/null
    done
    return 1
}
