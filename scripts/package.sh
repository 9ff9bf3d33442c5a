#!/bin/bash
# Builds the two packages into build/packages/:
#   glimmora_VERSION_amd64.deb   the Linux program, for XScreenSaver (CPack)
#   Glimmora-Setup-VERSION.exe   the Windows installer of Glimmora.scr (NSIS)
# Run as root on Debian 12, like the other commands: it starts with
# scripts/setup.sh, which installs what is missing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"
version="$(sed -n 's/^project(Glimmora VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"
[ -n "$version" ] || { echo "package.sh: no version in CMakeLists.txt" >&2; exit 1; }

bash scripts/setup.sh

out="$root/build/packages"
logs="$root/build/package-logs"
mkdir -p "$out" "$logs"

# step NAME COMMAND...: runs COMMAND with its output in a log, shown on failure.
step() {
    local name="$1"
    shift
    echo "==> $name"
    if ! "$@" >"$logs/$name.log" 2>&1; then
        tail -30 "$logs/$name.log"
        echo "package.sh: $name failed (log: $logs/$name.log)" >&2
        exit 1
    fi
}

# The Debian package: the release build that installs under /usr.
step linux-configure cmake --preset linux
step linux-build cmake --build --preset linux -j "$jobs" --target glimmora glimmora_manual
rm -rf "$root/build/linux/cpack"
step deb bash -c "cd '$root/build/linux' && cpack -G DEB -B '$root/build/linux/cpack'"
cp "$root/build/linux/cpack/glimmora_${version}_amd64.deb" "$out/"

# The Windows installer around the cross-built saver.
step windows-configure cmake --preset windows
step windows-build cmake --build --preset windows -j "$jobs" --target glimmora_installer
cp "$root/build/windows/packages/Glimmora-Setup-${version}.exe" "$out/"

echo "Packages:"
ls -l "$out/glimmora_${version}_amd64.deb" "$out/Glimmora-Setup-${version}.exe"
