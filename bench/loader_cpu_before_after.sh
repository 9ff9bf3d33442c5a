#!/usr/bin/env bash
# The loader's processor time per picture for a 24 MP and a 48 MP JPEG on a
# 1920x1080 monitor, sized to the monitor, against the loader of an older
# tree (by default the last one before pictures were sized) decoding the
# whole picture into a texture at the limit: both in one run, taking turns.
# Target: at least 3x less processor time per picture sized.
#
# The older tree is checked out into a temporary worktree and built in
# Release with this tree's bench/monitor_sized_prep_bench.cpp, which has
# only the whole-picture case there.
#
# Usage: bench/loader_cpu_before_after.sh [BEFORE [ROUNDS]]
#   BEFORE  a commit (26c68fb)
#   ROUNDS  turns of both programs (3); the medians are reported
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
before="${1:-26c68fb}"
rounds="${2:-3}"
work="$(mktemp -d)"
cleanup() {
    git -C "$root" worktree remove --force "$work/before" > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

after_bin="$root/build/native-release/bench/monitor_sized_prep_bench"
(cd "$root" && cmake --preset native-release > /dev/null)
cmake --build "$root/build/native-release" --target monitor_sized_prep_bench > /dev/null

git -C "$root" worktree add --detach "$work/before" "$before" > /dev/null 2>&1
cp "$root/bench/monitor_sized_prep_bench.cpp" "$work/before/bench/"
if ! grep -q monitor_sized_prep_bench "$work/before/bench/CMakeLists.txt"; then
    cat >> "$work/before/bench/CMakeLists.txt" <<'CMAKE'
glimmora_add_benchmark(monitor_sized_prep_bench monitor_sized_prep_bench.cpp)
target_link_libraries(monitor_sized_prep_bench PRIVATE glimmora::turbojpeg)
CMAKE
fi
cmake -S "$work/before" -B "$work/before/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DGLIMMORA_BUILD_BENCHMARKS=ON -DGLIMMORA_BUILD_TESTS=OFF > /dev/null
cmake --build "$work/before/build" --target monitor_sized_prep_bench > /dev/null
before_bin="$work/before/build/bench/monitor_sized_prep_bench"

export EGL_PLATFORM="${EGL_PLATFORM:-surfaceless}"
for round in $(seq "$rounds"); do
    "$before_bin" --benchmark_filter='BM_LoaderPerPicture/(24|48)/0/' \
        --benchmark_format=json > "$work/before.$round.json" 2> /dev/null
    "$after_bin" --benchmark_filter='BM_LoaderPerPicture/' \
        --benchmark_format=json > "$work/after.$round.json" 2> /dev/null
done

python3 - "$work" "$rounds" "$before" <<'PY'
import json, os, statistics, sys
work, rounds, before = sys.argv[1], int(sys.argv[2]), sys.argv[3]
def per_picture(kind):
    found = {}
    for r in range(1, rounds + 1):
        for b in json.load(open(f"{work}/{kind}.{r}.json"))["benchmarks"]:
            if "cpu_ms_per_picture" in b:
                found.setdefault(b["name"].split("/min_time")[0], []).append(b["cpu_ms_per_picture"])
    return {k: statistics.median(v) for k, v in found.items()}
old, new = per_picture("before"), per_picture("after")
print(f"load average {os.getloadavg()[0]:.2f}, medians of {rounds} turns, processor ms per picture")
for mp in (24, 48):
    whole_before = old[f"BM_LoaderPerPicture/{mp}/0"]
    whole_after = new[f"BM_LoaderPerPicture/{mp}/0"]
    sized = new[f"BM_LoaderPerPicture/{mp}/1"]
    print(f"{mp} MP: {before} whole {whole_before:.1f}, now whole {whole_after:.1f}, "
          f"now sized {sized:.1f}: {whole_before / sized:.2f}x less (target 3x)")
PY
