#!/bin/bash
# The Windows installer under Wine, in a fresh prefix of its own:
#   windows_installer_test.sh INSTALLER GLIMMORA_SCR SAVER_DRIVER_EXE VERSION WORK_DIR
# A silent install puts the saver into the 64-bit system folder and
# registers it in Apps & Features without touching the current screen
# saver; the installed saver runs full screen (/s) and ends on a key; an
# interactive install offers to make it the screen saver; the silent
# uninstall (Apps & Features' QuietUninstallString) removes the file and the
# entries and keeps the user's settings. It prints GoogleTest's summary
# lines, so the test command counts its cases, and leaves neither a Wine
# process nor its Xvfb behind.
set -uo pipefail

installer="$1" scr="$2" driver="$3" version="$4" work="$5"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

rm -rf "$work"
mkdir -p "$work"
export WINEPREFIX="$work/wineprefix"
source "$here/../e2e/wine_session.sh"
start_private_xvfb 640x480x24 "$work/xvfb.log" || exit 1

uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Glimmora'
desktop_key='HKCU\Control Panel\Desktop'
system32="$WINEPREFIX/drive_c/windows/system32"

# reg_value KEY NAME: the value's data, empty when there is none.
reg_value() {
    wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' |
        awk -v name="$2" '$1 == name { sub(/^[ \t]*[^ \t]+[ \t]+REG_[A-Z_]+[ \t]+/, ""); print; exit }'
}

passed=0
failed=0
failures=()
run_case() {
    local name="$1"
    shift
    echo "[ RUN      ] WindowsInstaller.$name"
    if "$@"; then
        echo "[       OK ] WindowsInstaller.$name"
        passed=$((passed + 1))
    else
        echo "[  FAILED  ] WindowsInstaller.$name"
        failed=$((failed + 1))
        failures+=("WindowsInstaller.$name")
    fi
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}
fail() {
    echo "  $*"
    return 1
}

# The fresh prefix: no window manager (Wine would wait for one whenever a
# window goes), a screen saver of someone else's chosen, and settings of
# the user's own from an earlier install.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
wine reg add "$desktop_key" /v SCRNSAVE.EXE /t REG_SZ /d 'C:\windows\system32\other.scr' /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Glimmora' /v secondsPerImage /t REG_SZ /d 4 /f >/dev/null 2>&1

silent_install() {
    local status=0
    wine "$installer" /S >"$work/install.log" 2>&1 || status=$?
    [ "$status" -eq 0 ] || fail "the silent install exited with $status" || return 1
    [ -f "$system32/Glimmora.scr" ] || fail "no Glimmora.scr in the 64-bit system folder" || return 1
    cmp -s "$scr" "$system32/Glimmora.scr" || fail "the installed saver is not the built one" || return 1
    [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/Glimmora.scr" ] ||
        fail "the saver went into SysWOW64" || return 1
    [ -f "$WINEPREFIX/drive_c/Program Files/Glimmora/Uninstall.exe" ] || fail "no uninstaller" || return 1
    local want name got ok=0
    for want in "DisplayName=Glimmora" "DisplayVersion=$version" "Publisher=Quillon" \
        'UninstallString="C:\Program Files\Glimmora\Uninstall.exe"' \
        'QuietUninstallString="C:\Program Files\Glimmora\Uninstall.exe" /S'; do
        name="${want%%=*}"
        got="$(reg_value "$uninstall_key" "$name")"
        [ "$got" = "${want#*=}" ] || fail "$name is \"$got\", not \"${want#*=}\"" || ok=1
    done
    got="$(reg_value "$desktop_key" SCRNSAVE.EXE)"
    [ "$got" = 'C:\windows\system32\other.scr' ] ||
        fail "the silent install changed the screen saver to \"$got\"" || ok=1
    return $ok
}

installed_saver_runs() {
    # Keys go to the window under the pointer (no window manager).
    xdotool mousemove 320 240
    hold_wine_desktop 640 480 || fail "no Wine desktop on the X screen" || return 1
    drive run 'C:\windows\system32\Glimmora.scr' 60000 /s >"$work/saver.status" &
    local pid=$!
    background+=("$pid")
    local window
    window="$(drive window WindowsScreenSaverClass Screensaver 40000)"
    [[ "$window" == "window 0 0 640 480" ]] || fail "no full-screen saver window: \"$window\"" || return 1
    sleep 2
    kill -0 "$pid" 2>/dev/null || fail "the saver ended by itself: $(cat "$work/saver.status")" || return 1
    xdotool key space
    local i
    for ((i = 0; i < 150; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "the saver still runs 15 s after a key" && return 1
    wait "$pid" 2>/dev/null
    [ "$(cat "$work/saver.status")" = "exit status 0" ] ||
        fail "the saver said \"$(cat "$work/saver.status")\""
}

interactive_install_offers() {
    # Without /S the installer asks, in a message box over its window, whose
    # default button is Yes; keys go to the window under the pointer. Return
    # is pressed until the answer shows (before the question, it meets a
    # page with nothing to press).
    xdotool mousemove 320 240
    wine "$installer" >"$work/install-2.log" 2>&1 &
    local pid=$!
    background+=("$pid")
    local got="" i
    for ((i = 0; i < 60; i++)); do
        sleep 1
        got="$(reg_value "$desktop_key" SCRNSAVE.EXE)"
        [ "${got,,}" = 'c:\windows\system32\glimmora.scr' ] && break
        kill -0 "$pid" 2>/dev/null || break
        xdotool key Return
    done
    [ "${got,,}" = 'c:\windows\system32\glimmora.scr' ] ||
        fail "after Yes the screen saver is \"$got\"" || return 1
    # The last page waits for Close: Return presses it.
    for ((i = 0; i < 30; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        xdotool key Return
        sleep 1
    done
    kill -0 "$pid" 2>/dev/null && fail "the installer did not close" && return 1
    wait "$pid" || fail "the interactive install exited with $?"
}

silent_uninstall() {
    local command
    command="$(reg_value "$uninstall_key" QuietUninstallString)"
    [ -n "$command" ] || fail "no QuietUninstallString" || return 1
    # As Apps & Features runs it; the uninstaller goes on from a copy of
    # itself, so the prefix's server ending is the sign it is done.
    local program="${command#\"}"
    program="${program%%\"*}"
    wine "$program" /S >"$work/uninstall.log" 2>&1 || fail "the uninstaller exited with $?" || return 1
    wineserver -w 2>/dev/null
    local ok=0
    [ ! -e "$system32/Glimmora.scr" ] || fail "Glimmora.scr is still there" || ok=1
    [ ! -e "$WINEPREFIX/drive_c/Program Files/Glimmora" ] || fail "the uninstaller's folder is still there" || ok=1
    wine reg query "$uninstall_key" >/dev/null 2>&1 && fail "the Apps & Features entry is still there" && ok=1
    [ "$(reg_value 'HKCU\Software\Glimmora' secondsPerImage)" = 4 ] ||
        fail "the user's settings are gone" || ok=1
    # The screen saver setting named the removed file; it names nothing now.
    [ -z "$(reg_value "$desktop_key" SCRNSAVE.EXE)" ] || fail "the screen saver still names Glimmora.scr" || ok=1
    return $ok
}

run_case SilentInstallRegistersWithoutChangingTheSaver silent_install
run_case InstalledSaverRunsFullScreen installed_saver_runs
run_case InteractiveInstallOffersTheSaver interactive_install_offers
run_case SilentUninstallKeepsSettings silent_uninstall

echo "[==========] $((passed + failed)) tests ran."
echo "[  PASSED  ] $passed tests."
if [ "$failed" -gt 0 ]; then
    echo "[  FAILED  ] $failed tests, listed below:"
    for f in "${failures[@]}"; do echo "[  FAILED  ] $f"; done
    exit 1
fi
exit 0
