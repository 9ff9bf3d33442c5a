#!/bin/bash
# End-to-end test of Glimmora.scr under Wine, driven as the platform and a
# user would: switches and exact exit statuses (through saver_driver.exe),
# windows found by class and title, keys, clicks and mouse moves sent with
# xdotool, and screenshots of the X screen read back with ImageMagick.
#
#   saver_e2e.sh GLIMMORA_SCR SAVER_DRIVER_EXE WORK_DIR
#
# GLIMMORA_E2E_FILTER, a regular expression, runs only the cases it matches.
#
# It runs on an Xvfb and a Wine prefix of its own (other tests and other
# developers' Wine sessions are never touched) and leaves neither a Wine
# process nor the Xvfb behind. Results are printed in GoogleTest's format so
# the test command counts them with the unit tests.
set -uo pipefail

scr="$1"
driver="$2"
work="$3"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

mkdir -p "$work"
export WINEPREFIX="$work/wineprefix"
scr_win="Z:$scr"
shots="$work/shots"
rm -rf "$shots"
mkdir -p "$shots"

source "$here/wine_session.sh"
last_saver=none

# A small screen: the software renderer fills it quickly.
start_private_xvfb 640x480x24 "$work/xvfb.log" || exit 1

# --- Pictures of known solid colours ------------------------------------
pictures="$work/pictures"
unicode_pictures="$work/pictures-ünïcode/写真"
rm -rf "$pictures" "$work/pictures-ünïcode"
mkdir -p "$pictures/sub" "$unicode_pictures"
convert -size 96x64 xc:'#ff0000' "$pictures/red.png"
convert -size 64x96 xc:'#00ff00' "$pictures/sub/green.bmp"
convert -size 80x80 xc:'#0000ff' "$pictures/blue.png"
convert -size 96x64 xc:'#ff00ff' "$unicode_pictures/grün-Ωμέγα.png"
# Phone pictures, from Debian's encoders (which want plain RGB sources:
# heif-enc reads a palette PNG with the wrong colours).
phone_pictures="$work/phone-pictures"
rm -rf "$phone_pictures"
mkdir -p "$phone_pictures"
convert -size 96x64 xc:'#ffff00' "PNG24:$work/yellow.png"
convert -size 64x96 xc:'#00ffff' "PNG24:$work/cyan.png"
convert -size 80x80 xc:'#ff8000' "PNG24:$work/orange.png"
heif-enc -q 90 -p chroma=444 -o "$phone_pictures/IMG_0001.HEIC" "$work/yellow.png" >/dev/null
avifenc -s 8 -y 444 "$work/cyan.png" "$phone_pictures/cyan.avif" >/dev/null
cwebp -quiet -q 90 "$work/orange.png" -o "$phone_pictures/orange.webp"
# Two portrait pictures, for pairs.
portrait_pictures="$work/pictures-portrait"
rm -rf "$portrait_pictures"
mkdir -p "$portrait_pictures"
convert -size 120x160 xc:'#ff0000' "$portrait_pictures/red.png"
convert -size 120x160 xc:'#0000ff' "$portrait_pictures/blue.png"
# Sixteen pictures of colours far apart, for a pass across runs. No white:
# pixels_near counts white pixels as near any colour.
pass_colours=('#ff0000' '#00ff00' '#0000ff' '#ffff00' '#00ffff' '#ff00ff' '#c0c0c0' '#ff8000'
    '#8000ff' '#808080' '#80ff00' '#ff0080' '#008080' '#000080' '#800000' '#808000')
pass_pictures="$work/pictures-pass"
rm -rf "$pass_pictures"
mkdir -p "$pass_pictures"
for colour in "${pass_colours[@]}"; do
    convert -size 96x64 "xc:$colour" "$pass_pictures/${colour#\#}.png"
done
# One picture that takes seconds to prepare: a 15000x15000 PNG, generated
# row by row (an image tool would hold it uncompressed several times over).
huge_pictures="$work/pictures-huge"
rm -rf "$huge_pictures"
mkdir -p "$huge_pictures"
python3 "$here/write_huge_png.py" "$huge_pictures/huge.png" 15000 || exit 1

set_folder() {
    local folder
    folder="$(wine winepath -w "$1" 2>/dev/null | tr -d '\r')"
    wine reg add 'HKCU\Software\Glimmora' /v DirCount /t REG_DWORD /d 1 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Glimmora' /v Dir001 /t REG_SZ /d "$folder" /f >/dev/null 2>&1
}
# Wine draws the caption and its close box itself, since there is no
# window manager on this X server.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
# No window manager is there to manage windows: without this Wine waits for
# one, about two seconds, whenever a window is hidden or destroyed, and no
# saver could end within a second.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
set_folder "$pictures"
# Short pictures, so that a few seconds show more than one.
wine reg add 'HKCU\Software\Glimmora' /v secondsPerImage /t REG_SZ /d 4 /f >/dev/null 2>&1

# --- Helpers ----------------------------------------------------------------
passed=0
failed=0
failures=()
run_case() {
    local name="$1"
    shift
    # GLIMMORA_E2E_FILTER (a regular expression) runs only the matching cases.
    [[ "$name" =~ ${GLIMMORA_E2E_FILTER:-.} ]] || return 0
    echo "[ RUN      ] SaverEndToEnd.$name"
    local start=$SECONDS
    if hold_wine_desktop 640 480 && "$@"; then
        echo "[       OK ] SaverEndToEnd.$name ($(((SECONDS - start) * 1000)) ms)"
        passed=$((passed + 1))
    else
        echo "[  FAILED  ] SaverEndToEnd.$name ($(((SECONDS - start) * 1000)) ms)"
        failed=$((failed + 1))
        failures+=("SaverEndToEnd.$name")
    fi
    # No saver may outlive its case.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
}

fail() {
    echo "  $*"
    return 1
}

# expect_status SWITCHES... : runs the saver to its end and checks the status.
expect_status() {
    local expected="$1"
    shift
    local out attempt
    for attempt in 1 2; do
        out="$(wine "$driver" run "$scr_win" 30000 "$@" 2>"$work/driver.err" | tr -d '\r')"
        # A driver that printed no status at all never got the saver started
        # (Wine itself failed, on a loaded machine): that is worth one more
        # try. A wrong status is the saver's and fails at once.
        [[ "$out" == "exit status "* ]] && break
        echo "  Glimmora.scr $*: no status from the driver (\"$out\"), Wine said:"
        sed 's/^/    /' "$work/driver.err" | head -20
    done
    [ "$out" = "exit status $expected" ] || fail "Glimmora.scr $*: \"$out\", expected exit status $expected"
}

# start_saver NAME SWITCHES...: runs the saver in the background through the
# driver, which writes its exit status to $work/NAME.status.
start_saver() {
    local name="$1"
    shift
    rm -f "$work/$name.status"
    last_saver="$name"
    drive run "$scr_win" 60000 "$@" >"$work/$name.status" &
    background+=($!)
    eval "${name}_pid=$!"
}

# wait_status NAME EXPECTED SECONDS: the background saver ended with EXPECTED.
wait_status() {
    local name="$1" expected="$2" seconds="$3" pid
    pid="$(eval echo "\$${name}_pid")"
    local i
    for ((i = 0; i < seconds * 10; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        fail "$name still running after ${seconds}s"
        return 1
    fi
    wait "$pid" 2>/dev/null
    local out
    out="$(cat "$work/$name.status")"
    [ "$out" = "exit status $expected" ] || fail "$name: \"$out\", expected exit status $expected"
}

still_running() {
    local pid
    pid="$(eval echo "\$${1}_pid")"
    kill -0 "$pid" 2>/dev/null || fail "$1 ended: $(cat "$work/$1.status")"
}

# wait_window TITLE: the saver class window is up; prints its geometry. The
# first Wine process after a case restarts the prefix's server, which takes
# a while on a loaded machine.
wait_window() {
    local out
    out="$(drive window WindowsScreenSaverClass "$1" 40000)"
    if [[ "$out" != window* ]]; then
        # What the saver said of its end tells a saver that never started
        # from one that ended at once.
        fail "no \"$1\" window: $out; the saver: \"$(tr -d '\r' <"$work/$last_saver.status" 2>/dev/null)\"" >&2
        return 1
    fi
    echo "$out"
}

screenshot() { import -display "$DISPLAY" -window root "$shots/$1.png" 2>/dev/null; }

# pixels_near FILE COLOUR: how many pixels of FILE are close to COLOUR.
pixels_near() {
    convert "$1" -alpha off -fuzz 12% -fill white -opaque "$2" -fill black +opaque white \
        -format '%[fx:round(mean*w*h)]' info: 2>/dev/null
}

# wait_for_colours NAME SECONDS NEED COLOUR...: screenshots once a second
# until NEED different ones of the colours have each filled at least 200
# pixels of some screenshot.
wait_for_colours() {
    local name="$1" seconds="$2" need="$3"
    shift 3
    local i colour n seen=""
    for ((i = 0; i < seconds; i++)); do
        sleep 1
        screenshot "$name-$i"
        for colour in "$@"; do
            [[ " $seen " == *" $colour "* ]] && continue
            n="$(pixels_near "$shots/$name-$i.png" "$colour")"
            if [ "${n:-0}" -ge 200 ]; then
                echo "  $colour on screen after $((i + 1))s ($n pixels, $shots/$name-$i.png)"
                seen="$seen $colour"
            fi
        done
        [ "$(wc -w <<<"$seen")" -ge "$need" ] && return 0
    done
    fail "only${seen:- none} of $* on screen within ${seconds}s"
}

# With no window manager X keeps the focus on PointerRoot: keys go to the
# window under the pointer. The full-screen saver covers the middle.
park_cursor() { xdotool mousemove 320 240; }

# --- Cases ------------------------------------------------------------------
exit_statuses() {
    local ok=0
    expect_status -1 /a || ok=1
    expect_status -1 /x || ok=1
    expect_status -1 /p 0 || ok=1
    expect_status -1 /p:1234 || ok=1
    expect_status -1 /p || ok=1
    # A number that is no window.
    expect_status -1 /p 123456789 || ok=1
    return $ok
}

full_screen_shows_pictures() {
    park_cursor
    start_saver fs /s
    local geometry screen
    geometry="$(wait_window Screensaver)" || return 1
    screen="$(drive screen)"
    [ "$geometry" = "window 0 0 ${screen#screen }" ] ||
        { fail "\"$geometry\" does not cover \"$screen\""; return 1; }
    [ "$geometry" = "window 0 0 640 480" ] ||
        { fail "\"$geometry\" is not the whole 640x480 screen"; return 1; }
    wait_for_colours fs 40 2 '#ff0000' '#00ff00' '#0000ff' || return 1
    still_running fs
}

second_start_exits_zero() {
    park_cursor
    start_saver first /s
    wait_window Screensaver >/dev/null || return 1
    expect_status 0 /s || return 1
    sleep 1
    still_running first
}

# closes_on INPUT...: the xdotool command ends the full-screen run with 0.
closes_on() {
    park_cursor
    start_saver input /s
    wait_window Screensaver >/dev/null || return 1
    sleep 2
    still_running input || return 1
    xdotool "$@"
    wait_status input 0 15
}

jiggle_keeps_running() {
    park_cursor
    start_saver jiggle /s
    wait_window Screensaver >/dev/null || return 1
    sleep 2
    local i
    for i in 1 2 3; do
        xdotool mousemove_relative -- 3 0
        sleep 0.3
        xdotool mousemove_relative -- -3 2
        sleep 0.3
    done
    sleep 2
    still_running jiggle || return 1
    # The same saver still ends on a real move.
    xdotool mousemove_relative -- 40 30
    wait_status jiggle 0 15
}

preview_in_driver_pane() {
    local out
    out="$(drive preview "$scr_win" 30000)"
    echo "$out" | sed 's/^/  /'
    grep -q '^child class "WindowsScreenSaverClass" title "Screensaver Preview" size 152 112 child-style 1 visible 1$' <<<"$out" ||
        { fail "no visible preview child filling the pane"; return 1; }
    grep -q '^exit status 0$' <<<"$out" || fail "preview did not end with 0 when its pane was destroyed"
}

windowed_close_rules() {
    park_cursor
    start_saver windowed /w
    local geometry
    geometry="$(wait_window "Windowed Screensaver")" || return 1
    echo "  $geometry"
    sleep 2
    read -r _ x y w _ <<<"$geometry"
    # The close box of the caption Wine draws, then the same command sent
    # directly, in case the caption is drawn differently.
    xdotool mousemove $((x + w - 10)) $((y + 12)) click 1
    sleep 1
    drive syscommand "Windowed Screensaver" 0xF060 >/dev/null
    sleep 2
    screenshot windowed
    still_running windowed || return 1
    xdotool mousemove $((x + w / 2)) $((y + 100)) click 1
    sleep 0.5
    xdotool key alt+F4
    wait_status windowed 0 15
}

# dialog_cancel SWITCHES...: the configuration dialog opens and Escape
# (Cancel) ends the process with 2.
dialog_cancel() {
    start_saver dialog "$@"
    local geometry
    geometry="$(drive window - "Glimmora by Quillon" 20000)"
    [[ "$geometry" == window* ]] || { fail "no configuration dialog: $geometry"; return 1; }
    read -r _ x y w h <<<"$geometry"
    # Keys go to the window under the pointer.
    xdotool mousemove $((x + w / 2)) $((y + h / 2))
    sleep 1
    xdotool key Escape
    wait_status dialog 2 15
}

unicode_folder_and_name() {
    set_folder "$work/pictures-ünïcode"
    park_cursor
    start_saver unicode /s
    wait_window Screensaver >/dev/null || return 1
    local ok=0
    wait_for_colours unicode 20 1 '#ff00ff' || ok=1
    set_folder "$pictures"
    return $ok
}

phone_pictures_show() {
    set_folder "$phone_pictures"
    park_cursor
    start_saver phone /s
    wait_window Screensaver >/dev/null || return 1
    local ok=0
    wait_for_colours phone 60 3 '#ffff00' '#00ffff' '#ff8000' || ok=1
    set_folder "$pictures"
    return $ok
}

# now_ms: milliseconds on the monotonic clock.
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# start_saver_raw NAME SWITCHES...: like start_saver, but the driver writes
# straight to the status file, unbuffered, so that the moment the saver
# ended shows there at once.
start_saver_raw() {
    local name="$1"
    shift
    rm -f "$work/$name.status"
    last_saver="$name"
    wine "$driver" run "$scr_win" 60000 "$@" >"$work/$name.status" 2>/dev/null &
    background+=($!)
    eval "${name}_pid=$!"
}

# ends_within NAME MS: the status file says "exit status 0" within MS
# milliseconds of now.
ends_within() {
    local name="$1" bound="$2" start out
    start="$(now_ms)"
    while (($(now_ms) - start < bound)); do
        out="$(tr -d '\r' <"$work/$name.status" 2>/dev/null)"
        [[ "$out" == "exit status"* ]] && break
        sleep 0.02
    done
    local took=$(($(now_ms) - start))
    [[ "$out" == "exit status"* ]] || { fail "$name still running ${took} ms after the input"; return 1; }
    [ "$out" = "exit status 0" ] || { fail "$name: \"$out\", expected exit status 0"; return 1; }
    echo "  ended ${took} ms after the input"
}

# huge_closes_on INPUT...: on the folder of the huge picture, the xdotool
# command given 1.5 s after the saver's window appeared ends the run with 0
# within 1 s, while the picture is still being prepared.
huge_closes_on() {
    set_folder "$huge_pictures"
    park_cursor
    start_saver_raw huge /s
    local ok=0
    if wait_window Screensaver >/dev/null; then
        sleep 1.5
        if [ -s "$work/huge.status" ]; then
            fail "the saver ended before the input: $(tr -d '\r' <"$work/huge.status")"
            set_folder "$pictures"
            return 1
        fi
        xdotool "$@"
        ends_within huge 1000 || ok=1
    else
        ok=1
    fi
    set_folder "$pictures"
    return $ok
}

# The preview pane on the huge picture is destroyed while it is prepared.
huge_preview_ends() {
    set_folder "$huge_pictures"
    local out ok=0
    out="$(drive preview "$scr_win" 30000)"
    echo "$out" | sed 's/^/  /'
    local took
    took="$(sed -n 's/^ended \([0-9]*\) ms after the pane was destroyed$/\1/p' <<<"$out")"
    if ! grep -q '^exit status 0$' <<<"$out" || [ -z "$took" ] || [ "$took" -gt 1000 ]; then
        fail "the preview did not end with 0 within 1 s of its pane's destruction"
        ok=1
    fi
    set_folder "$pictures"
    return $ok
}

# quick_slides: a second a picture and hard cuts, so that one screenshot
# never holds two slides; plain_slides puts the case's defaults back.
quick_slides() {
    wine reg add 'HKCU\Software\Glimmora' /v secondsPerImage /t REG_SZ /d 1 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Glimmora' /v secondsPerImageSigma /t REG_SZ /d 0 /f >/dev/null 2>&1
    wine reg add 'HKCU\Software\Glimmora' /v fadeMean /t REG_SZ /d 0 /f >/dev/null 2>&1
}
plain_slides() {
    wine reg add 'HKCU\Software\Glimmora' /v secondsPerImage /t REG_SZ /d 4 /f >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Glimmora' /v secondsPerImageSigma /f >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Glimmora' /v fadeMean /f >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Glimmora' /v pairs /f >/dev/null 2>&1
    set_folder "$pictures"
}

# colours_in FILE LEAST COLOUR...: prints those of the colours that fill at
# least LEAST pixels of FILE.
colours_in() {
    local file="$1" least="$2" colour n
    shift 2
    for colour in "$@"; do
        n="$(pixels_near "$file" "$colour")"
        [ "${n:-0}" -ge "$least" ] && echo "$colour"
    done
}

# Two portraits on the landscape screen share one slide with pairs on (the
# default); with the registry's pairs at 0 they never show at once.
portraits_in_pairs() {
    set_folder "$portrait_pictures"
    quick_slides
    local ok=0 mode i together seen colours
    for mode in 1 0; do
        wine reg add 'HKCU\Software\Glimmora' /v pairs /t REG_DWORD /d "$mode" /f >/dev/null 2>&1
        park_cursor
        start_saver "pairs$mode" /s
        wait_window Screensaver >/dev/null || { ok=1; break; }
        together=0 seen=""
        for ((i = 0; i < 10; i++)); do
            sleep 0.5
            screenshot "pairs$mode-$i"
            colours="$(colours_in "$shots/pairs$mode-$i.png" 200 '#ff0000' '#0000ff' | tr '\n' ' ')"
            seen="$seen $colours"
            [ "$(wc -w <<<"$colours")" -eq 2 ] && together=$((together + 1))
            [ "$mode" = 1 ] && [ "$together" -gt 0 ] && break
        done
        if [ "$mode" = 1 ]; then
            [ "$together" -gt 0 ] || { fail "the portraits never shared a slide (seen:$seen)"; ok=1; }
        else
            [ "$together" -eq 0 ] || { fail "with pairs off both showed at once"; ok=1; }
            [[ "$seen" == *ff0000* && "$seen" == *0000ff* ]] || { fail "pairs off, seen:$seen"; ok=1; }
        fi
        xdotool key space
        wait_status "pairs$mode" 0 15 || ok=1
    done
    plain_slides
    return $ok
}

# Two runs of a few seconds on sixteen pictures: the second shows none of
# the first one's, and the pass lives in the user's local application data.
every_picture_once() {
    set_folder "$pass_pictures"
    quick_slides
    local ok=0 run i colour shown_1="" shown_2="" shown
    for run in 1 2; do
        park_cursor
        start_saver "pass$run" /s
        wait_window Screensaver >/dev/null || { ok=1; break; }
        shown=""
        # Screenshots first, read once the run is over: reading them takes
        # longer than the run may.
        for ((i = 0; i < 5; i++)); do
            sleep 0.5
            screenshot "pass$run-$i"
        done
        xdotool key space
        wait_status "pass$run" 0 15 || ok=1
        for ((i = 0; i < 5; i++)); do
            # A picture fills most of the screen; the soft edge of one (cyan
            # dimmed towards black is teal) fills a few thousand pixels.
            for colour in $(colours_in "$shots/pass$run-$i.png" 40000 "${pass_colours[@]}"); do
                [[ " $shown " == *" $colour "* ]] || shown="$shown $colour"
            done
        done
        echo "  run $run showed:$shown"
        [ -n "$shown" ] || { fail "run $run showed no picture"; ok=1; }
        eval "shown_$run=\"\$shown\""
    done
    for colour in $shown_2; do
        [[ " $shown_1 " == *" $colour "* ]] && { fail "$colour showed in both runs"; ok=1; }
    done
    local state
    state="$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/Glimmora/shown-pictures 2>/dev/null | head -1)"
    [ "$(head -c 8 "$state" 2>/dev/null)" = GLMPASS1 ] ||
        { fail "no state in the local application data"; ok=1; }
    plain_slides
    return $ok
}

# A damaged state is replaced, and the pictures show.
damaged_state_ignored() {
    local state_dir ok=0
    state_dir="$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | head -1)/Glimmora"
    mkdir -p "$state_dir"
    head -c 5000 /dev/urandom >"$state_dir/shown-pictures"
    park_cursor
    start_saver damaged /s
    wait_window Screensaver >/dev/null || return 1
    wait_for_colours damaged 40 2 '#ff0000' '#00ff00' '#0000ff' || ok=1
    xdotool key space
    wait_status damaged 0 15 || ok=1
    [ "$(head -c 8 "$state_dir/shown-pictures")" = GLMPASS1 ] ||
        { fail "the damaged state was not replaced"; ok=1; }
    return $ok
}

# --- Gone at once ----------------------------------------------------------
# The root behind the saver is painted a colour of its own, so that a
# screenshot tells a saver window still on screen (black while the huge
# picture is prepared) from none.
root_colour='#336699'
convert -size 640x480 "xc:$root_colour" "$work/root.png"
# Painted again before each case: a Wine prefix's end can clear it.
paint_root() { display -window root "$work/root.png" 2>/dev/null; }

# centre_colour: the colour of the screen's centre, as #RRGGBB.
centre_colour() {
    import -display "$DISPLAY" -window root -crop 1x1+320+240 -depth 8 txt:- 2>/dev/null |
        grep -o '#[0-9A-F]\{6\}' | head -1
}

# start_saver_traced NAME SWITCHES...: like start_saver_raw, with the
# saver's debugger output streamed to $work/NAME.trace (Wine's own loader,
# not wine-exec, which holds Wine's messages back until the end).
start_saver_traced() {
    local name="$1" wine64=/usr/lib/wine/wine64
    shift
    [ -x "$wine64" ] || wine64=wine64
    rm -f "$work/$name.status" "$work/$name.trace"
    last_saver="$name"
    WINEDEBUG=-all,+debugstr stdbuf -o0 "$wine64" "$driver" run "$scr_win" 60000 "$@" \
        >"$work/$name.status" 2>"$work/$name.trace" &
    background+=($!)
    eval "${name}_pid=$!"
}

# traced NAME WORDS: the saver's debugger output holds WORDS.
traced() { grep -q "$2" "$work/$1.trace" 2>/dev/null; }

# gone_at_once NAME: right after the input, the saver's windows are off the
# screen within 0.5 s and its process has ended with 0 within 1.5 s.
gone_at_once() {
    local name="$1" start hidden="" ended="" out now
    start="$(now_ms)"
    while (($(now_ms) - start < 3000)); do
        now=$(($(now_ms) - start))
        [ -z "$hidden" ] && [ "$(centre_colour)" = "$root_colour" ] && hidden=$now
        out="$(tr -d '\r' <"$work/$name.status" 2>/dev/null)"
        [ -z "$ended" ] && [[ "$out" == "exit status"* ]] && ended=$now
        [ -n "$hidden" ] && [ -n "$ended" ] && break
        sleep 0.02
    done
    screenshot "$name-after"
    echo "  hidden ${hidden:-never} ms, ended ${ended:-never} ms after the input: ${out:-no status}"
    [ -n "$hidden" ] && [ "$hidden" -le 500 ] || { fail "the saver's window was still on screen 500 ms after the input"; return 1; }
    [ -n "$ended" ] && [ "$ended" -le 1500 ] || { fail "the saver was still running 1500 ms after the input"; return 1; }
    [ "$out" = "exit status 0" ] || { fail "\"$out\", expected exit status 0"; return 1; }
}

# huge_gone_during STAGE INPUT...: on the huge picture, with Wine's window
# manager handling as a new prefix has it (a full-screen window is managed,
# and Wine waits for a window manager whenever one is hidden), INPUT while
# the picture is decoded or, once the decode is reported, while it is sized.
huge_gone_during() {
    local stage="$1" ok=0 i
    shift
    set_folder "$huge_pictures"
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
    paint_root
    [ "$(centre_colour)" = "$root_colour" ] || { fail "the root could not be painted"; return 1; }
    park_cursor
    start_saver_traced gone /s
    if wait_window Screensaver >/dev/null; then
        if [ "$stage" = decode ]; then
            sleep 0.3
        else
            for ((i = 0; i < 300 && ok == 0; i++)); do
                traced gone 'ms to decode' && break
                [ -s "$work/gone.status" ] && { fail "the saver ended first: $(cat "$work/gone.status")"; ok=1; }
                sleep 0.02
            done
            ((i < 300)) || { fail "the decode was never reported"; ok=1; }
        fi
        if ((ok == 0)); then
            xdotool "$@"
            # What the loader had done by the input tells the stage it met.
            local decoded=0 sized=0
            traced gone 'ms to decode' && decoded=1
            traced gone 'ms to size' && sized=1
            gone_at_once gone || ok=1
            case "$stage:$decoded$sized" in
            decode:00 | sizing:10) ;;
            *) fail "the input came too late for the $stage (decoded $decoded, sized $sized)"; ok=1 ;;
            esac
        fi
    else
        ok=1
    fi
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    set_folder "$pictures"
    return $ok
}

run_case ExitStatuses exit_statuses
run_case FullScreenShowsThePictures full_screen_shows_pictures
run_case SecondStartExitsZeroAndFirstRunsOn second_start_exits_zero
run_case KeyPressEndsFullScreen closes_on key space
run_case ClickEndsFullScreen closes_on click 1
run_case MouseMoveEndsFullScreen closes_on mousemove_relative -- 25 0
run_case JiggleDoesNotEndFullScreen jiggle_keeps_running
run_case PreviewInDriverPane preview_in_driver_pane
run_case HugePictureKeyPressEndsAtOnce huge_closes_on key space
run_case HugePictureClickEndsAtOnce huge_closes_on click 1
run_case HugePictureMouseMoveEndsAtOnce huge_closes_on mousemove_relative -- 40 0
run_case HugePicturePreviewEndsWithItsPane huge_preview_ends
run_case HugePictureGoneAtOnceDuringTheDecode huge_gone_during decode key space
run_case HugePictureGoneAtOnceDuringTheSizing huge_gone_during sizing click 1
run_case WindowedIgnoresCloseBoxAndClosesOnAltF4 windowed_close_rules
run_case NonAsciiFolderAndFileName unicode_folder_and_name
run_case HeicAvifAndWebpShow phone_pictures_show
run_case ConfigureSwitchCancelExitsTwo dialog_cancel /c
run_case EmptyCommandLineCancelExitsTwo dialog_cancel
run_case PortraitsShowInPairs portraits_in_pairs
run_case EveryPictureOnceAcrossRuns every_picture_once
run_case DamagedStateIsIgnored damaged_state_ignored

echo "[==========] $((passed + failed)) tests ran."
echo "[  PASSED  ] $passed tests."
if [ "$failed" -gt 0 ]; then
    echo "[  FAILED  ] $failed tests, listed below:"
    for f in "${failures[@]}"; do echo "[  FAILED  ] $f"; done
    exit 1
fi
exit 0
