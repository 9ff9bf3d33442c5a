# Sourced by the scripts that need an X server of their own.
#
# start_private_xvfb SIZE LOG: starts Xvfb (with GLX, for WGL under Wine) on
# a free display, at SIZE (e.g. 1024x768x24), exports DISPLAY and sets
# xvfb_pid. stop_private_xvfb ends it. The server picks the display itself
# (-displayfd) and takes its lock atomically, so servers started at the same
# moment by other scripts or sessions never end up sharing one; it reports
# the number only once it accepts connections. A server that reported a
# number and then does not answer a client there (a CI run once met one:
# every client was refused) is ended and another one started, up to three.

xvfb_pid=""

start_private_xvfb() {
    local attempt
    for attempt in 1 2 3; do
        start_one_xvfb "$@" || return 1
        # xdpyinfo waits for the server's answer, or fails at once.
        if timeout 20 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
            return 0
        fi
        echo "Xvfb on $DISPLAY does not answer; starting another (see $2)" >&2
        stop_private_xvfb
    done
    echo "no X display answers (see $2)" >&2
    return 1
}

start_one_xvfb() {
    local size="$1" log="$2" number_file number="" _
    number_file="$(mktemp "${TMPDIR:-/tmp}/glimmora-xvfb.XXXXXX")" || return 1
    Xvfb -displayfd 3 -screen 0 "$size" +extension GLX -nolisten tcp \
        3>"$number_file" >"$log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 300); do
        number="$(head -n 1 "$number_file" 2>/dev/null)"
        [[ "$number" =~ ^[0-9]+$ ]] && break
        number=""
        kill -0 "$xvfb_pid" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$number_file"
    if [ -n "$number" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
        export DISPLAY=":$number"
        return 0
    fi
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
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
