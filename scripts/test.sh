#!/bin/bash
# Sets the machine up (idempotent), then builds and tests every build:
# the native core under AddressSanitizer+UBSan and under ThreadSanitizer,
# the Linux program in release, and the Windows build under Wine. Exits non-zero if any test fails.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"

bash scripts/setup.sh

logs="$root/build/test-logs"
mkdir -p "$logs"
summary=()
failed_suites=0

# run_suite NAME PRESET [ctest args...]: configure, build and test one preset,
# and add "NAME PASSED FAILED" (counted in test cases) to the summary.
run_suite() {
    local name="$1" preset="$2"
    shift 2
    echo "==> [$name] configure and build"
    if ! cmake --preset "$preset" >"$logs/$name-configure.log" 2>&1; then
        cat "$logs/$name-configure.log"
        summary+=("$name 0 1")
        return 1
    fi
    if ! cmake --build --preset "$preset" -j "$jobs" >"$logs/$name-build.log" 2>&1; then
        grep -E -B2 -A8 'error|FAILED' "$logs/$name-build.log" | head -100
        summary+=("$name 0 1")
        return 1
    fi
    grep -E 'warning' "$logs/$name-build.log" || true
    echo "==> [$name] test"
    local status=0 passed failed
    if [ "$preset" = windows ]; then
        # Each Windows executable is one CTest test (one Wine start); the
        # cases inside are counted from GoogleTest's own summaries.
        ctest --preset "$preset" -j "$jobs" -V "$@" >"$logs/$name-ctest.log" 2>&1 || status=1
        grep -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|\[  FAILED  \]|Failure|Total Test time' \
            "$logs/$name-ctest.log" || true
        # Only the lines CTest prefixes with a test number: it prints a
        # failed test's output once more, unprefixed, at the end.
        passed="$(grep -oE '^[0-9]+: \[  PASSED  \] [0-9]+ tests?' "$logs/$name-ctest.log" |
            awk '{s += $5} END {print s + 0}')"
        failed="$(grep -oE '^[0-9]+: \[  FAILED  \] [0-9]+ tests?, listed below' "$logs/$name-ctest.log" |
            awk '{s += $5} END {print s + 0}')"
        # That repeat is where a failure's reasons are: show it.
        if [ "$status" -ne 0 ]; then
            sed -n '/Test  *#.*\*\*\*/,$p' "$logs/$name-ctest.log" | grep -vE '^[0-9]+: ' |
                tail -200 || true
        fi
        # An executable that died before its summary still counts as a failure.
        if [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then failed=1; fi
    else
        ctest --preset "$preset" -j "$jobs" "$@" 2>&1 | tee "$logs/$name-ctest.log" || status=1
        local line
        line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$logs/$name-ctest.log" | tail -1 || true)"
        if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
            failed="${BASH_REMATCH[1]}"
            passed=$((BASH_REMATCH[2] - BASH_REMATCH[1]))
        else
            passed=0 failed=1
        fi
    fi
    summary+=("$name $passed $failed")
    return $status
}

run_suite native native || failed_suites=$((failed_suites + 1))

run_suite native-tsan native-tsan || failed_suites=$((failed_suites + 1))

# The Linux program as users build it (release), end to end on Xvfb servers
# of its own; the native suite ran the same cases under ASan+UBSan.
run_suite linux linux || failed_suites=$((failed_suites + 1))

# One X server for all Windows tests (WGL needs GLX), unless one is given.
# The end-to-end test starts its own, so that its full-screen saver and the
# unit tests' windows do not meet.
source "$root/scripts/private-xvfb.sh"
trap stop_private_xvfb EXIT
if [ -z "${DISPLAY:-}" ]; then
    start_private_xvfb 1280x1024x24 "$logs/xvfb.log"
fi
run_suite windows windows || failed_suites=$((failed_suites + 1))

total_passed=0
total_failed=0
echo
echo "==> Summary"
for entry in "${summary[@]}"; do
    read -r name passed failed <<<"$entry"
    echo "  $name: $passed passed, $failed failed"
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
done
echo "Total: $total_passed passed, $total_failed failed"
[ "$failed_suites" -eq 0 ] && [ "$total_failed" -eq 0 ]
