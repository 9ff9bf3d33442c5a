#!/usr/bin/env bash
# Glimmora beside XScreenSaver's GLSlideshow, the photo hack Linux users
# would pick instead: both on the root of one private Xvfb, on the same three
# generated photographs (JPEGs of 18, 15 and 9 MP), default settings but 5 s
# per picture, each started as a new user would (an empty home folder).
#
#   time to the first picture  the moment a fifth of the root is lit, the
#                              median of RUNS starts, taken in turns
#   peak resident size         VmHWM over a SHOW-second show
#   processor time             over the same show
#
# Targets: first picture at most 0.5x GLSlideshow's, peak resident size at
# most 1.5x (the goal is 1.0x).
#
# GLSlideshow comes from Debian's xscreensaver-gl and xscreensaver-data
# packages, downloaded with apt-get and unpacked with dpkg-deb -x (never
# installed) into GLIMMORA_PEER_ROOT (/var/cache/glimmora/glslideshow); its
# helpers (usr/libexec/xscreensaver) go on PATH, and its folder into the
# temporary home's ~/.xscreensaver.
#
# Usage: bench/side_by_side.sh [GLIMMORA [PROBE]]
#   GLIMMORA  the program (build/linux/glimmora); several, separated by
#             colons, are measured one after the other (an older build
#             beside the new one, say)
#   PROBE     build/native-release/bench/side_by_side_probe
# Environment: SIDE_BY_SIDE_SIZE (1280x1024x24), SIDE_BY_SIDE_RUNS (5),
#   SIDE_BY_SIDE_SHOW (40), SIDE_BY_SIDE_WINDOWS (Glimmora.scr builds,
#   colon-separated, measured under Wine on the same Xvfb and photographs:
#   their peak working set over the show), SIDE_BY_SIDE_LINUX (1; 0 measures
#   the Windows builds alone).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
programs="${1:-$root/build/linux/glimmora}"
probe="${2:-$root/build/native-release/bench/side_by_side_probe}"
size="${SIDE_BY_SIDE_SIZE:-1280x1024x24}"
runs="${SIDE_BY_SIDE_RUNS:-5}"
show="${SIDE_BY_SIDE_SHOW:-40}"
windows_builds="${SIDE_BY_SIDE_WINDOWS:-}"
measure_linux="${SIDE_BY_SIDE_LINUX:-1}"
peer_root="${GLIMMORA_PEER_ROOT:-/var/cache/glimmora/glslideshow}"
first_seconds=4

IFS=: read -r -a windows_list <<<"$windows_builds"
for scr in "${windows_list[@]}"; do
    [ -f "$scr" ] || { echo "no Windows build at $scr" >&2; exit 1; }
done
[ -x "$probe" ] || { echo "no probe at $probe (cmake --build --preset native-release --target side_by_side_probe)" >&2; exit 1; }
IFS=: read -r -a glimmoras <<<"$programs"
for program in "${glimmoras[@]}"; do
    [ -x "$program" ] || { echo "no program at $program" >&2; exit 1; }
done

# ---- the peer, unpacked once per version --------------------------------
unpack_peer() {
    local version dl
    version="$(apt-cache policy xscreensaver-gl 2>/dev/null | awk '/Candidate:/ {print $2}')"
    [[ -n $version && $version != "(none)" ]] || { echo "no xscreensaver-gl in apt's lists (apt-get update?)" >&2; exit 1; }
    if [[ -x $peer_root/usr/libexec/xscreensaver/glslideshow && $(cat "$peer_root/.version" 2>/dev/null) == "$version" ]]; then
        return
    fi
    echo "==> unpacking GLSlideshow $version into $peer_root"
    mkdir -p "$(dirname "$peer_root")"
    dl="$(mktemp -d "$(dirname "$peer_root")/glslideshow-dl.XXXXXX")"
    (cd "$dl" && apt-get download -q "xscreensaver-gl=$version" "xscreensaver-data=$version") \
        >"$dl/download.log" 2>&1 || { cat "$dl/download.log" >&2; rm -rf "$dl"; exit 1; }
    rm -rf "$peer_root.new"
    mkdir -p "$peer_root.new"
    for deb in "$dl"/*.deb; do dpkg-deb -x "$deb" "$peer_root.new"; done
    echo "$version" >"$peer_root.new/.version"
    rm -rf "$peer_root" "$dl"
    mv "$peer_root.new" "$peer_root"
}
unpack_peer
peer_bin="$peer_root/usr/libexec/xscreensaver"

# ---- photographs, home, X server ----------------------------------------
work="$(mktemp -d "${TMPDIR:-/tmp}/glimmora-side-by-side.XXXXXX")"
# shellcheck source=../scripts/private-xvfb.sh
source "$root/scripts/private-xvfb.sh"
wine_prefix="$work/wineprefix"
cleanup() {
    if [ -n "$windows_builds" ] && [ -d "$wine_prefix" ]; then
        WINEPREFIX="$wine_prefix" wineserver -k 2>/dev/null || true
        WINEPREFIX="$wine_prefix" wineserver -w 2>/dev/null || true
    fi
    stop_private_xvfb
    rm -rf "$work"
}
trap cleanup EXIT

photos="$work/photos"
"$probe" --write-photos "$photos"
home="$work/home"
mkdir -p "$home"
cat >"$home/.xscreensaver" <<XSS
imageDirectory:	$photos
grabDesktopImages:	False
chooseRandomImages:	True
XSS
start_private_xvfb "$size" "$work/xvfb.log"

run_glimmora() { env HOME="$home" "$probe" "$1" "$2" -root --dir "$photos" --seconds 5; }
run_peer() {
    env HOME="$home" PATH="$peer_bin:$PATH" "$probe" "$1" "$peer_bin/glslideshow" -root -duration 5
}
field() { sed -n "s/.*$1=\([-0-9]*\).*/\1/p"; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

declare -A first_lit peak cpu
names=()
for program in "${glimmoras[@]}"; do names+=("glimmora:$program"); done
names+=("GLSlideshow")
measure() {  # NAME SECONDS
    if [ "$1" = GLSlideshow ]; then run_peer "$2"; else run_glimmora "$2" "${1#glimmora:}"; fi
}

[ "$measure_linux" = 1 ] || { runs=0; names=(); }
echo "==> time to the first picture: $runs starts each, in turns, on $size"
for ((run = 1; run <= runs; ++run)); do
    for name in "${names[@]}"; do
        line="$(measure "$name" "$first_seconds")"
        first_lit[$name]+="$(field first_lit_ms <<<"$line") "
    done
done
echo "==> a $show s show each"
for name in "${names[@]}"; do
    line="$(measure "$name" "$show")"
    peak[$name]="$(field peak_rss_kb <<<"$line")"
    cpu[$name]="$(field cpu_ms <<<"$line")"
done

# Windows builds: the peak working set of Glimmora.scr under Wine, on the
# same photographs, settings as above, over the same show.
declare -A windows_peak
if [ -n "$windows_builds" ]; then
    export WINEPREFIX="$wine_prefix"
    wine_exec="$root/scripts/wine-exec"
    "$wine_exec" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    windows_path="$("$wine_exec" winepath -w "$photos" 2>/dev/null | tr -d '\r')"
    "$wine_exec" reg add 'HKCU\Software\Glimmora' /v DirCount /t REG_DWORD /d 1 /f >/dev/null
    "$wine_exec" reg add 'HKCU\Software\Glimmora' /v Dir001 /t REG_SZ /d "$windows_path" /f >/dev/null
    "$wine_exec" reg add 'HKCU\Software\Glimmora' /v secondsPerImage /t REG_SZ /d 5 /f >/dev/null
    IFS=: read -r -a scrs <<<"$windows_builds"
    for scr in "${scrs[@]}"; do
        echo "==> $scr under Wine, a $show s show"
        line="$("$probe" --track Glimmora.scr "$show" "$wine_exec" "$scr" /s)"
        windows_peak[$scr]="$(field peak_rss_kb <<<"$line")"
        WINEPREFIX="$wine_prefix" wineserver -k 2>/dev/null || true
        WINEPREFIX="$wine_prefix" wineserver -w 2>/dev/null || true
    done
fi

# ---- the table ------------------------------------------------------------
status=0
echo
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg)"
[ "${#names[@]}" -gt 0 ] && printf '%-60s %14s %14s %10s\n' "program" "first picture" "peak resident" "CPU"
if [ "${#names[@]}" -gt 0 ]; then
    peer_first="$(tr ' ' '\n' <<<"${first_lit[GLSlideshow]}" | grep . | median)"
    peer_peak="${peak[GLSlideshow]}"
fi
for name in "${names[@]}"; do
    f="$(tr ' ' '\n' <<<"${first_lit[$name]}" | grep . | median)"
    printf '%-60s %10s ms %11s MB %8s s' "${name#glimmora:}" "$f" "$((peak[$name] / 1024))" \
        "$(awk -v c="${cpu[$name]}" 'BEGIN {printf "%.1f", c / 1000}')"
    if [ "$name" != GLSlideshow ]; then
        awk -v f="$f" -v pf="$peer_first" -v p="${peak[$name]}" -v pp="$peer_peak" \
            'BEGIN {printf "   (%.2fx, %.2fx GLSlideshow)", f / pf, p / pp}'
    fi
    echo "   [first: ${first_lit[$name]% }]"
done
for scr in "${!windows_peak[@]}"; do
    # A build that never started (a wrong path, a missing DLL) has no figure.
    if [ "${windows_peak[$scr]:-0}" -gt 0 ] 2>/dev/null; then
        printf '%-60s peak working set under Wine %s MB\n' "$scr" "$((windows_peak[$scr] / 1024))"
    else
        printf '%-60s never ran under Wine: no figure\n' "$scr"
        status=1
    fi
done
exit "$status"
