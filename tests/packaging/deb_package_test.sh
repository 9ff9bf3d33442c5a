#!/bin/bash
# The Debian package of the Linux program:
#   deb_package_test.sh BUILD_DIR VERSION WORK_DIR CPACK
# CPack builds it from BUILD_DIR; its control fields (dependencies found
# by dpkg-shlibdeps), its files, the desktop entry and the manual page are
# checked, and then it is installed and removed with dpkg. As root, on a
# machine where no glimmora package is installed, that is the machine's own
# dpkg (and the installed program and `man glimmora` are tried); otherwise
# a dpkg database of the test's own under WORK_DIR. It prints
# GoogleTest-style lines for its result.
set -uo pipefail

build_dir="$1" version="$2" work="$3" cpack="$4"
rm -rf "$work"
mkdir -p "$work"

echo "[ RUN      ] DebPackage.BuildsInstallsAndRemoves"
installed_here=0
cleanup() {
    # A failed run leaves nothing installed behind.
    if [ "$installed_here" -eq 1 ]; then dpkg -P glimmora >/dev/null 2>&1; fi
}
trap cleanup EXIT
fail() {
    echo "deb package: $*"
    echo "[  FAILED  ] DebPackage.BuildsInstallsAndRemoves"
    exit 1
}

(cd "$build_dir" && "$cpack" -G DEB -B "$work/cpack") >"$work/cpack.log" 2>&1 ||
    fail "cpack failed: $(tail -5 "$work/cpack.log")"
deb="$work/cpack/glimmora_${version}_amd64.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/cpack")"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = glimmora ] || fail "Package is $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version is $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is $(field Architecture)"
depends="$(field Depends)"
# From the libraries the program links: the C library, X11, EGL, a codec.
for library in libc6 libx11-6 libegl1 libtiff6; do
    grep -qE "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done

# Files: the hack where XScreenSaver runs it, its settings description,
# the manual page, xfce4-screensaver's entry; nothing outside /usr.
dpkg-deb -c "$deb" >"$work/contents.txt" || fail "dpkg-deb -c failed"
awk '{print $1, $6}' "$work/contents.txt" >"$work/files.txt"
for want in "-rwxr-xr-x ./usr/libexec/xscreensaver/glimmora" \
    "-rw-r--r-- ./usr/share/xscreensaver/config/glimmora.xml" \
    "-rw-r--r-- ./usr/share/man/man6/glimmora.6.gz" \
    "-rw-r--r-- ./usr/share/applications/screensavers/glimmora.desktop"; do
    grep -qxF -- "$want" "$work/files.txt" || fail "the package lacks \"$want\""
done
outside="$(awk '{print $2}' "$work/files.txt" | grep -vE '^\./(usr/.*)?$' || true)"
[ -z "$outside" ] || fail "files outside /usr: $outside"

dpkg-deb -x "$deb" "$work/unpacked" || fail "dpkg-deb -x failed"
desktop="$work/unpacked/usr/share/applications/screensavers/glimmora.desktop"
grep -qx 'NoDisplay=true' "$desktop" || fail "the desktop entry shows in application menus"
grep -qx 'OnlyShowIn=XFCE;' "$desktop" || fail "the desktop entry lacks OnlyShowIn"
grep -qx 'Exec=/usr/libexec/xscreensaver/glimmora -root' "$desktop" ||
    fail "the desktop entry runs $(grep '^Exec=' "$desktop")"
manual="$(MANWIDTH=80 man -l "$work/unpacked/usr/share/man/man6/glimmora.6.gz" 2>&1)" ||
    fail "the manual page does not format: $manual"
for word in -root -fps -geometry --dir --seconds-sigma imageDirectory XSCREENSAVER_WINDOW; do
    grep -qF -- "$word" <<<"$manual" || fail "the manual page does not mention $word"
done
"$work/unpacked/usr/libexec/xscreensaver/glimmora" --help >/dev/null ||
    fail "the packaged program does not run"

if [ "$(id -u)" -eq 0 ] && ! dpkg -s glimmora >/dev/null 2>&1; then
    dpkg=(dpkg)
    installed_here=1
    root=""
else
    # A database of the test's own; the machine's libraries are not listed
    # in it, so dependencies are left to the control check above.
    root="$work/root"
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
    : >"$root/var/lib/dpkg/status"
    : >"$root/var/lib/dpkg/available"
    dpkg=(dpkg --root="$root" --force-depends --force-not-root --force-script-chrootless
        --log=/dev/null)
fi
"${dpkg[@]}" -i "$deb" >"$work/install.log" 2>&1 || fail "dpkg -i failed: $(tail -5 "$work/install.log")"
grep -qi 'warning' "$work/install.log" && fail "dpkg -i warned: $(grep -i warning "$work/install.log")"
"${dpkg[@]}" -s glimmora 2>/dev/null | grep -qx 'Status: install ok installed' ||
    fail "glimmora is not installed after dpkg -i"
program="$root/usr/libexec/xscreensaver/glimmora"
for file in "$program" "$root/usr/share/xscreensaver/config/glimmora.xml" \
    "$root/usr/share/man/man6/glimmora.6.gz" "$root/usr/share/applications/screensavers/glimmora.desktop"; do
    [ -f "$file" ] || fail "$file is not there after dpkg -i"
done
if [ -z "$root" ]; then
    # The settings dialog's Documentation button runs `man glimmora`.
    [ "$(man -w glimmora 2>/dev/null)" = /usr/share/man/man6/glimmora.6.gz ] ||
        fail "man glimmora finds \"$(man -w glimmora 2>&1)\""
    env -u XSCREENSAVER_WINDOW HOME="$work" "$program" --show-settings >/dev/null ||
        fail "the installed program does not run"
fi
"${dpkg[@]}" -r glimmora >"$work/remove.log" 2>&1 || fail "dpkg -r failed: $(tail -5 "$work/remove.log")"
for file in "$program" "$root/usr/share/xscreensaver/config/glimmora.xml" \
    "$root/usr/share/man/man6/glimmora.6.gz" "$root/usr/share/applications/screensavers/glimmora.desktop"; do
    [ ! -e "$file" ] || fail "$file is still there after dpkg -r"
done
# No configuration files: removing leaves nothing to purge.
status="$("${dpkg[@]}" -s glimmora 2>/dev/null | sed -n 's/^Status: //p')"
[ -z "$status" ] || [ "$status" = "deinstall ok not-installed" ] ||
    fail "after dpkg -r the package is \"$status\""
installed_here=0
if [ -z "$root" ]; then
    audit="$(dpkg --audit 2>&1)"
    [ -z "$audit" ] || fail "dpkg --audit: $audit"
fi

echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes; Depends: $depends"
echo "[       OK ] DebPackage.BuildsInstallsAndRemoves"
