#!/bin/bash
# Sets the machine up (idempotent), then builds and tests both builds:
# the native core under AddressSanitizer+UBSan and under ThreadSanitizer,
# and the Windows build under Wine. Exits non-zero if any test fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

bash scripts/setup.sh

logs="$root/build/test-logs"
mkdir -p "$logs"
summary=()
failed_suites=0

# run_suite NAME PRESET [ctest args...]: configure, build and test one preset.
run_suite() {
    local name="$1" preset="$2"
    shift 2
    echo "==> [$name] configure and build"
    cmake --preset "$preset" >"$logs/$name-configure.log" 2>&1 ||
        { cat "$logs/$name-configure.log"; return 1; }
    cmake --build --preset "$preset" -j "$jobs" 2>&1 | tee "$logs/$name-build.log" |
        grep -E 'warning|error|FAILED' || true
    [ "${PIPESTATUS[0]}" -eq 0 ] || return 1
    echo "==> [$name] test"
    local status=0
    ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$logs/$name-ctest.log" || status=1
    local line
    line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/$name-ctest.log" | tail -1 || true)"
    summary+=("$name: ${line:-no result}")
    return $status
}

run_suite native native || failed_suites=$((failed_suites + 1))
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    run_suite native-tsan native-tsan || failed_suites=$((failed_suites + 1))

# One X server for all Windows tests (WGL needs GLX), unless one is given.
xvfb_pid=""
cleanup() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
    display=90
    while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 +extension GLX -nolisten tcp >"$logs/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$display"
fi
run_suite windows windows || failed_suites=$((failed_suites + 1))

passed=0
failed=0
echo
echo "==> Summary"
for entry in "${summary[@]}"; do
    echo "  $entry"
    if [[ "$entry" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
        failed=$((failed + BASH_REMATCH[1]))
        passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
    fi
done
echo "Total: $passed passed, $failed failed"
[ "$failed_suites" -eq 0 ] && [ "$failed" -eq 0 ]
