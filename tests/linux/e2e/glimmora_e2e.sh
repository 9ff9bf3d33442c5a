#!/bin/bash
# One end-to-end case of the Linux program, on an Xvfb of its own:
#   glimmora_e2e.sh CASE GLIMMORA TEST_WINDOW WORK SOURCE_DIR BUILD_DIR CMAKE
# The pictures are generated here (ImageMagick); the screenshots of the
# case stay in WORK/CASE/shots/. It ends only the processes it started and
# its own X server, and prints GoogleTest-style lines for its result.
set -uo pipefail

case_name="$1" glimmora="$2" test_window="$3" work="$4/$1" source_dir="$5" build_dir="$6"
cmake_command="$7"

rm -rf "$work"
mkdir -p "$work/shots" "$work/home"
source "$source_dir/scripts/private-xvfb.sh"

# The saver's environment is the test's: no user settings, no saver window.
export HOME="$work/home"
unset XDG_CONFIG_HOME XSCREENSAVER_WINDOW
export GLIMMORA_DEBUG_OUTPUT=1

glimmora_pid=""
window_pid=""
run=0

daemon_pid=""
shared=""

# process_tree PID: PID and every process below it.
process_tree() {
    local all pids="$1" next="$1" pid children
    all="$(ps -eo pid=,ppid=)"
    while [ -n "$next" ]; do
        children=""
        for pid in $next; do
            children="$children $(awk -v p="$pid" '$2 == p {print $1}' <<<"$all")"
        done
        next="$(echo $children)"
        pids="$pids $next"
    done
    echo $pids
}

cleanup() {
    [ -n "$glimmora_pid" ] && kill -KILL "$glimmora_pid" 2>/dev/null && wait "$glimmora_pid" 2>/dev/null
    if [ -n "$daemon_pid" ]; then
        # The daemon, its graphics process and the program under it.
        # shellcheck disable=SC2046
        kill -KILL $(process_tree "$daemon_pid") 2>/dev/null
        wait "$daemon_pid" 2>/dev/null
    fi
    [ -n "$shared" ] && rm -rf "$shared"
    if [ -n "$window_pid" ]; then
        kill "$window_pid" 2>/dev/null
        wait "$window_pid" 2>/dev/null
    fi
    stop_private_xvfb
}
trap cleanup EXIT

echo "[ RUN      ] LinuxEndToEnd.$case_name"
fail() {
    echo "$case_name: $*"
    echo "[  FAILED  ] LinuxEndToEnd.$case_name"
    exit 1
}

start_private_xvfb 640x480x24 "$work/xvfb.log" || fail "no Xvfb"

# solid_pictures DIR COLOUR...: one 320x240 PNG per colour (red, green or
# blue, each at full strength).
solid_pictures() {
    local dir="$1" colour
    shift
    mkdir -p "$dir"
    for colour in "$@"; do
        local hex
        case "$colour" in red) hex='#ff0000' ;; green) hex='#00ff00' ;; *) hex='#0000ff' ;; esac
        convert -size 320x240 "xc:$hex" "$dir/$colour.png" || fail "convert failed"
    done
}

# start_glimmora ARGS...: in the background, its output in $log.
start_glimmora() {
    run=$((run + 1))
    log="$work/glimmora-$run.log"
    "$glimmora" "$@" >"$log" 2>&1 &
    glimmora_pid=$!
}

# ended PID: true once the process has exited (a zombie counts as ended).
ended() {
    local state
    state="$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" || return 0
    [ -z "$state" ] || [ "$state" = Z ]
}

# wait_first_picture: until the saver says its first frame is up (a loaded
# machine under AddressSanitizer may take long).
wait_first_picture() {
    local i
    for i in $(seq 600); do
        grep -q "first picture on screen" "$log" && return 0
        ended "$glimmora_pid" && fail "glimmora ended before its first picture: $(tail -5 "$log")"
        sleep 0.1
    done
    fail "no first picture within 60 s"
}

# finish_glimmora LIMIT_MS: waits at most LIMIT_MS for the saver to end, then
# checks its status is 0 and its output free of sanitizer reports. Sets
# ended_ms.
finish_glimmora() {
    local limit="$1" start now status=0
    start=$(date +%s%N)
    while ! ended "$glimmora_pid"; do
        now=$(date +%s%N)
        if (((now - start) / 1000000 > limit)); then
            fail "glimmora still running ${limit} ms later"
        fi
        sleep 0.01
    done
    ended_ms=$((($(date +%s%N) - start) / 1000000))
    wait "$glimmora_pid" || status=$?
    glimmora_pid=""
    check_clean
    [ "$status" -eq 0 ] || fail "glimmora exited with status $status: $(tail -5 "$log")"
}

check_clean() {
    if grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$log"; then
        fail "sanitizer report: $(grep -m3 -E 'ERROR|runtime error' "$log")"
    fi
}

# colour_at X Y: a screenshot of the root, kept; sets `got` to the pixel's
# name: red, green, blue, black or other.
shot=0
colour_at() {
    shot=$((shot + 1))
    local file rgb
    file="$work/shots/$(printf '%03d' "$shot").png"
    got=none got_rgb=""
    import -display "$DISPLAY" -window root "$file" 2>/dev/null || return 0
    rgb="$(convert "$file" -format "%[fx:int(255*p{$1,$2}.r+0.5)] %[fx:int(255*p{$1,$2}.g+0.5)] %[fx:int(255*p{$1,$2}.b+0.5)]" info: 2>/dev/null)"
    # shellcheck disable=SC2086
    got="$(classify $rgb)"
}

classify() {
    local r="${1:-0}" g="${2:-0}" b="${3:-0}"
    if ((r > 200 && g < 60 && b < 60)); then echo red
    elif ((g > 200 && r < 60 && b < 60)); then echo green
    elif ((b > 200 && r < 60 && g < 60)); then echo blue
    elif ((r < 30 && g < 30 && b < 30)); then echo black
    else echo other; fi
}

# expect_colour X Y COLOUR [TRIES]: the pixel turns COLOUR within TRIES
# screenshots.
expect_colour() {
    local x="$1" y="$2" want="$3" tries="${4:-20}" i
    for i in $(seq "$tries"); do
        colour_at "$x" "$y"
        [ "$got" = "$want" ] && return 0
        sleep 0.2
    done
    fail "pixel $x,$y is $got, not $want (shot $shot)"
}

expect_not_colour() {
    colour_at "$1" "$2"
    [ "$got" != "$3" ] || fail "pixel $1,$2 is $3 (shot $shot)"
}

# rgb_in FILE X Y: the pixel's "r g b" in a screenshot already taken.
rgb_in() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info: 2>/dev/null
}

# Pictures told apart by their colour: number K (0 to 15) is a solid 320x240
# PNG of red 40 + 50 (K % 4), green 40 + 50 (K / 4), blue 160.
numbered_pictures() {
    local dir="$1" count="$2" k
    mkdir -p "$dir"
    for ((k = 0; k < count; k++)); do
        convert -size 320x240 "xc:rgb($((40 + 50 * (k % 4))),$((40 + 50 * (k / 4))),160)" \
            "$dir/picture-$k.png" || fail "convert failed"
    done
}

# number_at X Y: a screenshot, kept; sets `got` to the number of the
# picture there, or "none".
number_at() {
    shot=$((shot + 1))
    local file r g b
    file="$work/shots/$(printf '%03d' "$shot").png"
    got=none got_rgb=""
    import -display "$DISPLAY" -window root "$file" 2>/dev/null || return 0
    read -r r g b <<<"$(rgb_in "$file" "$1" "$2")"
    got_rgb="$r $g $b"
    [ -n "${b:-}" ] && ((b > 140 && b < 180)) || return 0
    local kr=$(((r - 40 + 25) / 50)) kg=$(((g - 40 + 25) / 50))
    ((kr >= 0 && kr < 4 && kg >= 0 && kg < 4)) || return 0
    got=$((kr + 4 * kg))
}

# numbers_shown SECONDS: the numbers seen at the centre over SECONDS, a
# screenshot every 0.2 s, into `shown` (blank-separated, each once).
numbers_shown() {
    local end=$(($(date +%s%N) + $1 * 1000000000))
    local previous=""
    shown=""
    while (($(date +%s%N) < end)); do
        number_at 320 240
        # A cross-fade (the fade's spread is not 0) mixes two pictures of
        # the same blue into what reads as a third: a picture counts only
        # when two samples in a row find exactly the same colour.
        if [ "$got" != none ] && [ "$got_rgb" = "$previous" ]; then
            case " $shown " in *" $got "*) ;; *) shown="$shown $got" ;; esac
        fi
        previous="$got_rgb"
        sleep 0.2
    done
}

root_children() {
    xwininfo -root -children | grep -oE '^ +[0-9]+ child' | grep -oE '[0-9]+' || echo 0
}

# make_window W H [make32|vroot]: the test's own window at 40,40 (depth 32
# with "make32", named as the virtual root with "vroot"); sets window_id.
make_window() {
    coproc window_client { "$test_window" "${3:-make}" "$1" "$2"; }
    window_pid=$window_client_PID
    read -r -t 20 window_id <&"${window_client[0]}" || fail "test window not made"
}

resize_window() {
    echo "resize $1 $2" >&"${window_client[1]}"
    local answer
    read -r -t 20 answer <&"${window_client[0]}" || fail "test window not resized"
}

pictures="$work/pictures"

case "$case_name" in
root_colours)
    # Every picture of the folder shows on the root, hard cuts a second apart.
    solid_pictures "$pictures" red green blue
    before="$(root_children)"
    start_glimmora -root --dir "$pictures" --seconds 1 --seconds-sigma 0 --fade 0
    wait_first_picture
    seen=""
    for i in $(seq 60); do
        colour_at 320 240
        c="$got"
        case " $seen " in *" $c "*) ;; *) seen="$seen $c" ;; esac
        [[ " $seen " == *" red "* && " $seen " == *" green "* && " $seen " == *" blue "* ]] && break
        sleep 0.2
    done
    [[ " $seen " == *" red "* && " $seen " == *" green "* && " $seen " == *" blue "* ]] ||
        fail "colours seen on the root:$seen"
    [ "$(root_children)" = "$before" ] || fail "glimmora made a window of its own in -root mode"
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    echo "first picture: $(grep -o '[0-9]* ms after start' "$log")"
    ;;

window_id_resize)
    # Someone else's window (the test's, id given in decimal): drawn inside
    # only, and followed when it grows.
    solid_pictures "$pictures" red
    make_window 200 150
    start_glimmora -window-id "$((window_id))" --dir "$pictures"
    wait_first_picture
    expect_colour 140 115 red
    expect_not_colour 500 400 red
    resize_window 400 300
    # Every quarter of the grown window, also those outside the old size.
    expect_colour 340 115 red
    expect_colour 140 265 red
    expect_colour 340 265 red
    expect_not_colour 500 400 red
    [ "$(xwininfo -root -children | grep -c '"glimmora-e2e-window"')" -eq 1 ] ||
        fail "windows other than the test's appeared"
    [ "$(root_children)" -eq 1 ] || fail "glimmora made a window of its own in -window-id mode"
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    ;;

depth32_window)
    # A depth-32 window, as XScreenSaver gives a GL hack when its GL visual
    # helper is missing: every pixel the program draws is opaque, the black
    # around the picture as much as the picture, so that a compositor never
    # shows the desktop through it.
    solid_pictures "$pictures" red
    make_window 200 150 make32
    start_glimmora -window-id "$window_id" --dir "$pictures" --fade 0
    wait_first_picture
    for spot in "100 75" "2 2" "197 147" "2 147"; do
        echo "pixel $spot" >&"${window_client[1]}"
        read -r -t 20 argb <&"${window_client[0]}" || fail "no pixel read"
        echo "pixel $spot: $argb"
        [ "${argb:0:2}" = ff ] || fail "pixel $spot is $argb: not opaque"
    done
    echo "pixel 100 75" >&"${window_client[1]}"
    read -r -t 20 argb <&"${window_client[0]}"
    [ "${argb:2}" = ff0000 ] || fail "the picture's middle is $argb, not opaque red"
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    ;;

stop_signals)
    # SIGTERM and SIGINT end it within a second with status 0, during the
    # show and while the first, large picture is still being decoded.
    solid_pictures "$pictures" red
    convert -size 6000x4000 gradient:red-blue "$pictures/large.jpg" || fail "convert failed"
    for signal in TERM INT; do
        start_glimmora -root --dir "$pictures"
        wait_first_picture
        kill "-$signal" "$glimmora_pid"
        finish_glimmora 1000
        echo "SIG$signal during the show: ended after $ended_ms ms"
    done
    large="$work/large-only"
    mkdir -p "$large"
    cp "$pictures/large.jpg" "$large/"
    start_glimmora -root --dir "$large"
    sleep 0.3
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    echo "SIGTERM at start: ended after $ended_ms ms"
    ;;

saver_window_env)
    # XScreenSaver names its window in XSCREENSAVER_WINDOW: the root there
    # works as -root does, and with -root the named window wins.
    solid_pictures "$pictures" green
    root_id="$(xwininfo -root | grep -oE 'Window id: 0x[0-9a-f]+' | grep -oE '0x[0-9a-f]+')"
    XSCREENSAVER_WINDOW="$root_id" start_glimmora --dir "$pictures"
    wait_first_picture
    expect_colour 320 240 green
    [ "$(root_children)" -eq 0 ] || fail "glimmora made a window of its own"
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    make_window 200 150
    expect_colour 140 115 other
    XSCREENSAVER_WINDOW="$window_id" start_glimmora -root --dir "$pictures"
    wait_first_picture
    expect_colour 140 115 green
    expect_not_colour 500 400 green
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    ;;

own_window_close)
    # -window: its own window over the root, closed by q, Escape or the
    # window manager's close.
    solid_pictures "$pictures" blue
    for how in q Escape close; do
        start_glimmora -window --dir "$pictures"
        wait_first_picture
        expect_colour 320 240 blue
        id="$(xdotool search --name '^Glimmora$' | head -1)"
        [ -n "$id" ] || fail "no window named Glimmora; it said: $(tail -3 "$log")"
        geometry="$(xwininfo -id "$id" | grep -E 'Width|Height' | grep -oE '[0-9]+' | tr '\n' x)"
        [ "$geometry" = 640x480x ] || fail "own window is ${geometry%x}, not the root's 640x480"
        if [ "$how" = close ]; then
            "$test_window" close "$id"
        else
            xdotool key --window "$id" "$how"
        fi
        finish_glimmora 2000
        echo "closed by $how after $ended_ms ms"
    done
    ;;

stalled_folder)
    # A folder on a mount whose server no longer answers (a FUSE mount of
    # the test's own that never replies): the listing waits for good, but
    # q still takes the window off the screen at once. The process itself
    # ends once the mount gives up, as any process with a thread in it.
    if [ "$(id -u)" -ne 0 ] || [ ! -c /dev/fuse ]; then
        echo "skipped: needs root and /dev/fuse to mount a folder that never answers"
        echo "[       OK ] LinuxEndToEnd.$case_name"
        exit 0
    fi
    stalled="$work/stalled"
    mkdir -p "$stalled"
    coproc mount_server { exec python3 "$source_dir/tests/linux/e2e/stalled_mount.py" "$stalled"; }
    mount_pid=$mount_server_PID
    stop_mount() {
        [ -n "${mount_pid:-}" ] || return 0
        kill -TERM "$mount_pid" 2>/dev/null
        wait "$mount_pid" 2>/dev/null
        mount_pid=""
    }
    trap 'stop_mount; cleanup' EXIT
    read -r -t 20 mounted <&"${mount_server[0]}" || fail "the stalled mount did not start"
    [ "$mounted" = mounted ] || fail "the stalled mount: $mounted"
    start_glimmora -window --dir "$stalled"
    id=""
    for i in $(seq 100); do
        id="$(xdotool search --onlyvisible --name '^Glimmora$' 2>/dev/null | head -1)"
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window named Glimmora; it said: $(tail -3 "$log")"
    sleep 1
    xdotool key --window "$id" q
    start=$(date +%s%N)
    while xdotool search --onlyvisible --name '^Glimmora$' >/dev/null 2>&1; do
        (($(date +%s%N) - start > 1000000000)) && fail "the window was still up 1 s after q"
        sleep 0.02
    done
    echo "window gone $((($(date +%s%N) - start) / 1000000)) ms after q"
    stop_mount
    finish_glimmora 2000
    ;;

bad_windows)
    # A window that does not exist, or an id that is none: status 1 at once.
    solid_pictures "$pictures" red
    for args in "-window-id 0x3fffff0" "-window-id 12abc" "-window-id" "--seconds"; do
        status=0
        # shellcheck disable=SC2086
        timeout 60 "$glimmora" $args --dir "$pictures" >"$work/bad.log" 2>&1 || status=$?
        log="$work/bad.log"
        check_clean
        [ "$status" -eq 1 ] || fail "\"$args\" gave status $status"
    done
    XSCREENSAVER_WINDOW=0x3fffff0 timeout 60 "$glimmora" --dir "$pictures" >"$work/bad.log" 2>&1
    status=$?
    [ "$status" -eq 1 ] || fail "a missing XSCREENSAVER_WINDOW gave status $status"
    ;;

pairs)
    # Two portrait pictures on the landscape root: with pairs (the default)
    # they show side by side in one slide; with --no-pairs each alone, the
    # two never at once (no cross-fade: hard cuts).
    mkdir -p "$pictures"
    convert -size 240x320 xc:'#ff0000' "$pictures/red.png" || fail "convert failed"
    convert -size 240x320 xc:'#0000ff' "$pictures/blue.png" || fail "convert failed"
    for mode in pairs no-pairs; do
        start_glimmora -root --dir "$pictures" --seconds 1 --seconds-sigma 0 --fade 0 "--$mode"
        wait_first_picture
        together=0 seen=""
        for i in $(seq 25); do
            shot=$((shot + 1))
            file="$work/shots/$(printf '%03d' "$shot").png"
            import -display "$DISPLAY" -window root "$file" 2>/dev/null || continue
            # shellcheck disable=SC2046
            left="$(classify $(rgb_in "$file" 200 240))"
            # shellcheck disable=SC2046
            right="$(classify $(rgb_in "$file" 440 240))"
            for c in "$left" "$right"; do
                case " $seen " in *" $c "*) ;; *) seen="$seen $c" ;; esac
            done
            [[ "$left $right" == "red blue" || "$left $right" == "blue red" ]] && together=$((together + 1))
            [ "$mode" = pairs ] && [ "$together" -gt 0 ] && break
            sleep 0.2
        done
        if [ "$mode" = pairs ]; then
            [ "$together" -gt 0 ] || fail "the portraits never showed side by side (seen:$seen)"
        else
            [ "$together" -eq 0 ] || fail "with --no-pairs both showed at once ($together shots)"
            [[ " $seen " == *" red "* && " $seen " == *" blue "* ]] || fail "with --no-pairs seen:$seen"
        fi
        kill -TERM "$glimmora_pid"
        finish_glimmora 1000
    done
    ;;

every_picture_once)
    # Sixteen pictures, a second each: the second run shows none of those
    # the first one showed, and the state lies under XDG_STATE_HOME.
    numbered_pictures "$pictures" 16
    export XDG_STATE_HOME="$work/state"
    for run_number in 1 2; do
        start_glimmora -root --dir "$pictures" --seconds 1 --seconds-sigma 0 --fade 0
        wait_first_picture
        numbers_shown 3
        kill -TERM "$glimmora_pid"
        finish_glimmora 1000
        echo "run $run_number showed:$shown"
        [ -n "$shown" ] || fail "run $run_number showed no picture"
        eval "shown_$run_number=\"\$shown\""
    done
    for k in $shown_2; do
        [[ " $shown_1 " == *" $k "* ]] && fail "picture $k showed in both runs"
    done
    state="$XDG_STATE_HOME/glimmora/shown-pictures"
    [ "$(head -c 8 "$state" 2>/dev/null)" = GLMPASS1 ] || fail "no state at $state"
    [ ! -e "$HOME/.local/state/glimmora" ] || fail "state written under HOME despite XDG_STATE_HOME"
    ;;

damaged_state)
    # A damaged state, or one that cannot be read, costs nothing: pictures
    # show, one line says so, and a good state replaces a damaged one.
    solid_pictures "$pictures" green
    state_dir="$HOME/.local/state/glimmora"
    mkdir -p "$state_dir"
    for damage in garbage truncated unreadable; do
        rm -rf "$state_dir/shown-pictures"
        case "$damage" in
        garbage) head -c 5000 /dev/urandom >"$state_dir/shown-pictures" ;;
        truncated) printf 'GLMPASS1\001\000\000\000\005' >"$state_dir/shown-pictures" ;;
        unreadable) mkdir "$state_dir/shown-pictures" ;;
        esac
        start_glimmora -root --dir "$pictures" --seconds 1 --seconds-sigma 0 --fade 0
        wait_first_picture
        expect_colour 320 240 green
        kill -TERM "$glimmora_pid"
        finish_glimmora 1000
        lines="$(grep -c 'a new pass begins' "$log")"
        [ "$lines" -eq 1 ] || fail "$damage: $lines lines about the state: $(grep 'state of' "$log")"
        if [ "$damage" = unreadable ]; then
            grep -q 'could not be read; a new pass begins' "$log" || fail "$damage: $(grep 'state of' "$log")"
        else
            grep -q 'is damaged; a new pass begins' "$log" || fail "$damage: $(grep 'state of' "$log")"
            [ "$(head -c 8 "$state_dir/shown-pictures")" = GLMPASS1 ] ||
                fail "$damage: the damaged state was not replaced"
        fi
    done
    ;;

installed_files)
    # cmake --install lays out what XScreenSaver and xfce4-screensaver look
    # for; the settings description is well formed, names only options the
    # installed program takes, and tells the truth: its sliders span the
    # program's own ranges and their defaults are what the program does
    # when the dialog leaves them out.
    prefix="$work/install"
    "$cmake_command" --install "$build_dir" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed: $(tail -3 "$work/install.log")"
    program="$prefix/libexec/xscreensaver/glimmora"
    xml="$prefix/share/xscreensaver/config/glimmora.xml"
    desktop="$prefix/share/applications/screensavers/glimmora.desktop"
    [ -x "$program" ] || fail "no $program"
    [ -f "$desktop" ] || fail "no $desktop"
    [ -f "$prefix/share/man/man6/glimmora.6.gz" ] || fail "no manual page"
    xmllint --noout "$xml" || fail "$xml is not well formed"
    x() { xmllint --xpath "$1" "$xml"; }
    [ "$(x 'string(/screensaver/@gl)')" = yes ] || fail "gl is not yes"
    [ "$(x 'string(/screensaver/@name)')" = glimmora ] || fail "wrong name"
    # XScreenSaver's file chooser refuses folders: a text field instead.
    [ "$(x 'count(//file)')" -eq 0 ] || fail "a <file> widget, which cannot choose a folder"
    [ "$(x 'string(//string[@arg="-dir %"]/@_label)')" = "Picture folders (several joined with :)" ] ||
        fail "no labelled text field for the folders"
    year="$(sed -n 's/^set(GLIMMORA_RELEASE_DATE "\([0-9]\{4\}\).*/\1/p' "$source_dir/CMakeLists.txt")"
    last="$(x 'string(//_description)' | sed '/^[[:space:]]*$/d' | tail -1 | sed 's/^[[:space:]]*//')"
    [ "$last" = "Written by Quillon; $year." ] || fail "the description ends with \"$last\""
    grep -qx 'Categories=Screensaver;' "$desktop" || fail "desktop entry not a Screensaver"
    grep -qx 'NoDisplay=true' "$desktop" || fail "desktop entry shows in application menus"
    exec_line="$(grep -E '^Exec=' "$desktop" | cut -d= -f2-)"
    [ -x "${exec_line%% *}" ] || fail "desktop entry runs ${exec_line%% *}, which is not there"
    # The settings under the dialog's command alone: no settings file then.
    settings_of() { XSCREENSAVER_WINDOW=0x1 "$program" "$@" --show-settings 2>&1; }
    mkdir -p "$work/home/.config/glimmora" "$work/a" "$work/b"
    printf 'seconds = 99\nfade = 9\n' >"$work/home/.config/glimmora/glimmora.conf"
    [ "$("$program" --show-settings | grep '^seconds = ')" = "seconds = 99" ] ||
        fail "the settings file is not read by a program run by hand"
    defaults="$(settings_of)" || fail "the program refuses the dialog's bare command: $defaults"
    grep -qx "seconds = 17" <<<"$defaults" || fail "under XScreenSaver the settings file counts: $defaults"
    checked=0
    # Every option of the description is taken by the program.
    options="$(x 'count(//@arg | //@arg-set | //@arg-unset)')"
    for ((n = 1; n <= options; n++)); do
        arg="$(x "string((//@arg | //@arg-set | //@arg-unset)[$n])")"
        value=7
        [[ "$arg" == -dir* ]] && value="$work/a:$work/b"
        # shellcheck disable=SC2086
        settings="$(settings_of ${arg//%/$value})" || fail "the program refuses \"$arg\": $settings"
        case "$arg" in
        -dir*) [ "$(grep '^dir = ' <<<"$settings" | tr '\n' ' ')" = "dir = $work/a dir = $work/b " ] ||
            fail "\"$arg\" did not set both folders: $settings" ;;
        -texture*) grep -qx "texture = ${arg#-texture }" <<<"$settings" ||
            fail "\"$arg\" did not set the texture" ;;
        -no-pairs) grep -qx "pairs = no" <<<"$settings" || fail "\"$arg\" did not turn pairs off" ;;
        esac
        checked=$((checked + 1))
    done
    [ "$checked" -ge 8 ] || fail "only $checked options found in $xml"
    # Every setting of the program has its widget.
    for name in dir seconds seconds-sigma fade texture fps; do
        [ "$(x "count(//@arg[starts-with(., '-$name ')] | //@arg-set[starts-with(., '-$name')])")" -ge 1 ] ||
            fail "no widget sets -$name"
    done
    # Each slider: its ends are the program's (a value beyond is taken as
    # the end), and its default is what runs when the dialog leaves it out.
    sliders="$(x 'count(//number)')"
    [ "$sliders" -ge 3 ] || fail "only $sliders sliders"
    for ((n = 1; n <= sliders; n++)); do
        name="$(x "string((//number)[$n]/@id)")"
        low="$(x "string((//number)[$n]/@low)")"
        high="$(x "string((//number)[$n]/@high)")"
        default="$(x "string((//number)[$n]/@default)")"
        shown() { settings_of "--$name" "$1" | sed -n "s/^$name = //p"; }
        same() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a + 0 == b + 0) }'; }
        same "$(sed -n "s/^$name = //p" <<<"$defaults")" "$default" ||
            fail "$name: the dialog's default $default is not the program's"
        same "$(shown "$high")" "$high" || fail "$name: the slider's end $high is not taken"
        same "$(shown "$((${high%.*} * 10 + 1))")" "$high" || fail "$name: the program goes beyond $high"
        same "$(shown "$low")" "$low" || fail "$name: the slider's start $low is not taken"
        same "$(shown -100)" "$low" || fail "$name: the program goes below $low"
    done
    ;;

under_xscreensaver)
    # Installed, added to ~/.xscreensaver's programs as the README says and
    # run by XScreenSaver's own daemon: the pictures show in the daemon's
    # window, and a key, a click or a move ends the program within a second.
    xss="${GLIMMORA_XSCREENSAVER_ROOT:-/var/cache/glimmora/xscreensaver}"
    [ -x "$xss/usr/bin/xscreensaver" ] ||
        fail "no XScreenSaver daemon under $xss (scripts/setup.sh unpacks it)"
    # The daemon starts no hack for root, so as root it runs as nobody, on
    # files in a folder anyone can read.
    shared="$(mktemp -d /tmp/glimmora-xscreensaver.XXXXXX)" || fail "no temporary folder"
    chmod 755 "$shared"
    as_user=()
    [ "$(id -u)" -eq 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    "$cmake_command" --install "$build_dir" --prefix "$shared/install" >"$work/install.log" 2>&1 ||
        fail "cmake --install failed: $(tail -3 "$work/install.log")"
    solid_pictures "$shared/pictures" red green
    home="$shared/home"
    mkdir -p "$home/.config/glimmora"
    # Under the daemon the command line is the whole truth: a settings file
    # saying otherwise does not count.
    printf 'seconds = 200\ndir = /nonexistent\n' >"$home/.config/glimmora/glimmora.conf"
    {
        printf 'timeout:\t1:00:00\nlock:\t\tFalse\nsplash:\t\tFalse\nfade:\t\tFalse\n'
        printf 'unfade:\t\tFalse\ndpmsEnabled:\tFalse\nmode:\t\tone\nselected:\t0\n'
        printf 'programs:\t\t\t\t\t\t\t      \\\n'
        printf '\t\tGL:  glimmora -root --dir %s -seconds 2 -seconds-sigma 0 -fade 0  \\n\\\n' \
            "$shared/pictures"
    } >"$home/.xscreensaver"
    [ "${#as_user[@]}" -eq 0 ] || chown -R 65534:65534 "$home"
    daemon_log="$work/xscreensaver.log"
    xss_env=(env HOME="$home"
        PATH="$shared/install/libexec/xscreensaver:$xss/usr/libexec/xscreensaver:$xss/usr/bin:$PATH")
    "${as_user[@]}" "${xss_env[@]}" xscreensaver --no-splash --verbose >"$daemon_log" 2>&1 &
    daemon_pid=$!
    command_xss() { "${as_user[@]}" "${xss_env[@]}" xscreensaver-command "$@" >/dev/null 2>&1; }
    for i in $(seq 100); do
        command_xss -version && break
        ended "$daemon_pid" && fail "the daemon ended: $(tail -5 "$daemon_log")"
        sleep 0.1
    done
    launched=0
    for input in "key space" "click 1" "mousemove_relative -- 40 0"; do
        command_xss -activate || fail "xscreensaver-command -activate failed"
        pid=""
        for i in $(seq 300); do
            pid="$(grep -oE 'forked "glimmora -root[^"]*" in pid [0-9]+' "$daemon_log" |
                sed -n "$((launched + 1))s/.* pid //p")"
            [ -n "$pid" ] && break
            sleep 0.1
        done
        [ -n "$pid" ] || fail "the daemon did not start glimmora: $(tail -5 "$daemon_log")"
        launched=$((launched + 1))
        # Both pictures in turn: it draws into the daemon's window and runs
        # on with the command line's seconds.
        seen=""
        for i in $(seq 150); do
            colour_at 320 240
            case " $seen " in *" $got "*) ;; *) seen="$seen $got" ;; esac
            [[ " $seen " == *" red "* && " $seen " == *" green "* ]] && break
            sleep 0.2
        done
        [[ " $seen " == *" red "* && " $seen " == *" green "* ]] ||
            fail "colours seen under XScreenSaver:$seen"
        # shellcheck disable=SC2086
        xdotool $input
        start=$(date +%s%N)
        while ! ended "$pid"; do
            (($(date +%s%N) - start > 1000000000)) && fail "glimmora still running 1 s after $input"
            sleep 0.01
        done
        echo "$input: ended after $((($(date +%s%N) - start) / 1000000)) ms"
        log="$daemon_log"
        check_clean
    done
    command_xss -exit
    wait "$daemon_pid" 2>/dev/null
    daemon_pid=""
    ;;

virtual_root)
    # A standalone -root draws on the window manager's virtual root
    # (__SWM_VROOT), not on the real root behind it.
    solid_pictures "$pictures" blue
    make_window 200 150 vroot
    start_glimmora -root --dir "$pictures"
    wait_first_picture
    expect_colour 140 115 blue
    expect_not_colour 500 400 blue
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    ;;

geometry)
    # -window -geometry: the own window at the given size and place, drawn
    # all over; a negative offset counts from the far edge.
    solid_pictures "$pictures" green
    for case_line in "200x150+100+50 100 50" "300x100-20-30 320 350"; do
        read -r geometry x y <<<"$case_line"
        start_glimmora -window -geometry "$geometry" --dir "$pictures"
        wait_first_picture
        id="$(xdotool search --name '^Glimmora$' | head -1)"
        [ -n "$id" ] || fail "no window named Glimmora; it said: $(tail -3 "$log")"
        info="$(xwininfo -id "$id")"
        got="$(awk '/Absolute upper-left X/ {x = $NF} /Absolute upper-left Y/ {y = $NF}
            /Width:/ {w = $NF} /Height:/ {h = $NF} END {print w "x" h "+" x "+" y}' <<<"$info")"
        want="${geometry%%[+-]*}+$x+$y"
        [ "$got" = "$want" ] || fail "-geometry $geometry made $got, not $want"
        size="${geometry%%[+-]*}"
        expect_colour $((x + ${size%x*} / 2)) $((y + ${size#*x} / 2)) green
        expect_not_colour $((x - 10)) $((y - 10)) green
        kill -TERM "$glimmora_pid"
        finish_glimmora 1000
    done
    ;;

standard_options)
    # What every XScreenSaver hack takes: -display instead of DISPLAY,
    # -visual and -install accepted, -fps printing the frame rate.
    solid_pictures "$pictures" red
    display="$DISPLAY"
    (
        unset DISPLAY
        exec "$glimmora" -display "$display" -root -visual default -install -fps --dir "$pictures"
    ) >"$work/glimmora-fps.log" 2>&1 &
    glimmora_pid=$!
    log="$work/glimmora-fps.log"
    wait_first_picture
    expect_colour 320 240 red
    for i in $(seq 100); do
        [ "$(grep -c 'frames per second' "$log")" -ge 2 ] && break
        sleep 0.1
    done
    line="$(grep -m1 -E '^glimmora: [0-9]+\.[0-9] frames per second$' "$log")" ||
        fail "no frame-rate line: $(tail -3 "$log")"
    echo "$line"
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    status=0
    (unset DISPLAY; timeout 60 "$glimmora" -display :9999 -root --dir "$pictures") >"$work/bad.log" 2>&1 ||
        status=$?
    [ "$status" -eq 1 ] || fail "-display naming no server gave status $status"
    ;;

image_directory)
    # With no folder anywhere, XScreenSaver's own picture setting
    # (imageDirectory, with its ~) is shown, as its image hacks show it.
    solid_pictures "$HOME/Photos/sub" green
    printf 'timeout:\t0:10:00\nimageDirectory:\t~/Photos\nmode:\t\trandom\n' >"$HOME/.xscreensaver"
    start_glimmora -root
    wait_first_picture
    expect_colour 320 240 green
    kill -TERM "$glimmora_pid"
    finish_glimmora 1000
    ;;

*)
    fail "unknown case"
    ;;
esac

echo "[       OK ] LinuxEndToEnd.$case_name"
