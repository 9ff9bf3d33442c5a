# Sourced by the scripts that need an X server of their own.
#
# start_private_xvfb SIZE LOG: starts Xvfb (with GLX, for WGL under Wine) on
# a free display number from 90 on, at SIZE (e.g. 1024x768x24), exports
# DISPLAY and sets xvfb_pid. stop_private_xvfb ends it. Other sessions may
# pick numbers at the same moment: a server that loses the race exits, and
# the next number is tried.

xvfb_pid=""

start_private_xvfb() {
    local size="$1" log="$2" display=90 attempt _
    for attempt in $(seq 20); do
        while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
            display=$((display + 1))
        done
        Xvfb ":$display" -screen 0 "$size" +extension GLX -nolisten tcp >"$log" 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 100); do
            kill -0 "$xvfb_pid" 2>/dev/null || break
            [ -e "/tmp/.X11-unix/X$display" ] && break
            sleep 0.1
        done
        sleep 0.2
        if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$display" ]; then
            export DISPLAY=":$display"
            return 0
        fi
        wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
        display=$((display + 1))
    done
    echo "no X display could be started (see $log)" >&2
    return 1
}

# screenshot_every_5s PID SHOTS SECONDS: a screenshot of the root into
# SHOTS every 5 s for SECONDS while PID runs. False, with ended_status set to
# PID's exit status, when PID ended first.
screenshot_every_5s() {
    local pid="$1" shots="$2" seconds="$3" t shot
    for ((t = 5; t <= seconds; t += 5)); do
        sleep 5
        if ! kill -0 "$pid" 2>/dev/null; then
            ended_status=0
            wait "$pid" || ended_status=$?
            return 1
        fi
        shot="$shots/shot-$(printf '%03d' "$t")s.png"
        import -display "$DISPLAY" -window root "$shot" 2>/dev/null && echo "    $shot"
    done
}

stop_private_xvfb() {
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
        xvfb_pid=""
    fi
    return 0
}
