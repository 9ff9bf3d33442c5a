#!/usr/bin/env bash
# Prepares a Debian 12 machine for both builds of Glimmora: the Debian
# packages of the native and the cross build, and the image codecs
# cross-built as static mingw-w64 libraries into a cache outside the work
# tree (GLIMMORA_WIN_DEPS, default /var/cache/glimmora/mingw64).
#
# Run as root. Safe to re-run: a warm run only checks what is there and does
# no network work; a library whose build failed half way is rebuilt from a
# fresh source tree.
set -euo pipefail

CACHE_ROOT=/var/cache/glimmora
PREFIX=${GLIMMORA_WIN_DEPS:-$CACHE_ROOT/mingw64}
SRC_ROOT=${GLIMMORA_WIN_SRC:-$CACHE_ROOT/src}
STAMPS=$PREFIX/share/glimmora-stamps
TRIPLET=x86_64-w64-mingw32
SYSROOT=/usr/$TRIPLET
JOBS=$(nproc)
DEB_SRC_FILE=/etc/apt/sources.list.d/glimmora-deb-src.sources
DEB_SRC_LIST=/etc/apt/sources.list.d/glimmora-deb-src.list

PACKAGES=(
  # both builds
  cmake ninja-build g++ pkg-config make
  # cross compilers (posix threads) and the Windows zlib
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev libz-mingw-w64-dev
  # running the Windows build
  wine wine64 xvfb xauth
  # driving and capturing the saver's windows on Xvfb (screenshots), and
  # asking a fresh X server whether it answers (xdpyinfo)
  xdotool imagemagick x11-utils
  # native OpenGL through EGL on Mesa
  libegl-dev libegl-mesa0 libgl1-mesa-dri libglu1-mesa-dev libglx-mesa0
  # the Linux program: X11 windows, monitor rates, its settings file checked
  libx11-dev libxrandr-dev libxml2-utils
  # what XScreenSaver's daemon links (it is unpacked, not installed: see below)
  libxft2 libxi6 libxinerama1 libxt6 libxxf86vm1
  # native codecs
  libtiff-dev libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev libgif-dev
  libstb-dev zlib1g-dev
  libheif-dev libde265-dev libdav1d-dev libwebp-dev
  # encoders for the HEIC, AVIF and WebP fixtures of tests and benchmarks
  libheif-examples libavif-bin webp
  # the packages: the Windows installer (makensis), the manual page checked
  nsis man-db
  # tests, benchmarks, fuzzing
  libgtest-dev googletest libbenchmark-dev clang lld libclang-rt-14-dev
  # cross-building the codecs from Debian's source packages
  nasm dpkg-dev xz-utils autoconf automake libtool meson
)

log() { printf '[setup %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }
die() { printf '[setup] ERROR: %s\n' "$*" >&2; exit 1; }

[[ $EUID -eq 0 ]] || die "must run as root"

mkdir -p "$CACHE_ROOT" "$SRC_ROOT" "$PREFIX" "$STAMPS"
# Two runs at once would build into the same directories.
exec 9>"$CACHE_ROOT/.setup.lock"
flock 9

# apt's package lists are refreshed at most once per run, and only when a
# package is missing or the source entries have just been written.
apt_updated=0
apt_stale=0
apt_update() {
  log "apt-get update"
  apt-get update -q >/dev/null || die "apt-get update failed"
  apt_updated=1
  apt_stale=0
}

# --- Debian packages --------------------------------------------------------

missing_packages() {
  local installed
  installed=$(dpkg-query -W -f='${Package} ${db:Status-Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
  local p
  for p in "${PACKAGES[@]}"; do
    grep -qx "$p installed" <<<"$installed" || printf '%s\n' "$p"
  done
}

install_packages() {
  local missing
  mapfile -t missing < <(missing_packages)
  if ((${#missing[@]} == 0)); then
    log "packages: all ${#PACKAGES[@]} installed"
    return
  fi
  log "packages: installing ${missing[*]}"
  ((apt_updated)) || apt_update
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}" \
    || die "apt-get install failed"
}

# --- source package entries ---------------------------------------------------

# Writes deb-src twins of this machine's own Debian entries (those whose
# suites belong to this release), so that apt-get source uses the same
# archive as the binary packages. Third-party repositories rarely publish
# sources and are left out.
derive_deb_src() {
  local codename
  # shellcheck source=/dev/null
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [[ -n $codename ]] || die "cannot tell the Debian release from /etc/os-release"

  local sources=() lists=() f
  for f in /etc/apt/sources.list.d/*.sources; do
    [[ -f $f && $f != "$DEB_SRC_FILE" && $f != *.disabled-by-farm ]] && sources+=("$f")
  done
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $f && $f != "$DEB_SRC_LIST" && $f != *.disabled-by-farm ]] && lists+=("$f")
  done

  local stanzas=""
  if ((${#sources[@]})); then
    stanzas=$(awk -v codename="$codename" '
      function flush(   i, n, s, keep) {
        if (types ~ /(^| )deb( |$)/ && types !~ /deb-src/ && enabled !~ /^[Nn]/) {
          n = split(suites, s, " ")
          for (i = 1; i <= n; i++) if (s[i] ~ ("^" codename "(-|$)")) keep = 1
          if (keep) {
            printf "%sTypes: deb-src\n%s", (printed++ ? "\n" : ""), body
          }
        }
        types = suites = body = enabled = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        if (match($0, /^[A-Za-z-]+:/)) {
          key = tolower(substr($0, 1, RLENGTH - 1))
          val = substr($0, RLENGTH + 1); gsub(/^[ \t]+|[ \t]+$/, "", val)
          if (key == "types") { types = val; next }
          if (key == "suites") suites = val
          if (key == "enabled") enabled = val
        }
        body = body $0 "\n"
      }
      END { flush() }
    ' "${sources[@]}")
  fi

  local lines=""
  if ((${#lists[@]})); then
    lines=$(awk -v codename="$codename" '
      $1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while (i <= NF && $i !~ /\]$/) i++; i++ }
        if ($(i + 1) ~ ("^" codename "(-|$)")) { $1 = "deb-src"; print }
      }
    ' "${lists[@]}")
  fi

  [[ -n $stanzas || -n $lines ]] || die "no Debian entry in this machine's apt sources to derive deb-src from"

  local changed=0
  update_file "$DEB_SRC_FILE" "$stanzas" && changed=1
  update_file "$DEB_SRC_LIST" "$lines" && changed=1
  if ((changed)); then
    log "deb-src entries written"
    apt_stale=1
  fi
}

# Writes $2 (plus a header) to $1 when it differs; removes $1 when $2 is
# empty. Returns 0 when the file changed.
update_file() {
  local file=$1 content=$2 want
  if [[ -z $content ]]; then
    [[ -e $file ]] || return 1
    rm -f "$file"
    return 0
  fi
  want="# Generated by Glimmora's scripts/setup.sh from this machine's binary entries.
$content"
  if [[ -f $file ]] && [[ "$(cat "$file")" == "$want" ]]; then
    return 1
  fi
  printf '%s\n' "$want" >"$file"
  return 0
}

# --- codec builds ----------------------------------------------------------

# Versions of source package $1 that apt knows, newest first. The installed
# -dev packages may be older than what the archive carries, and a mirror may
# list a revision it does not serve yet, so each is tried in turn.
source_versions() {
  apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' \
    | sort -u | sort_versions_desc
}

sort_versions_desc() {
  local sorted=() v i
  while read -r v; do
    for ((i = ${#sorted[@]}; i > 0; i--)); do
      dpkg --compare-versions "${sorted[i - 1]}" ge "$v" && break
      sorted[i]=${sorted[i - 1]}
    done
    sorted[i]=$v
  done
  ((${#sorted[@]})) && printf '%s\n' "${sorted[@]}"
  return 0
}

# Downloads source package $1 (kept for re-runs) at the newest version the
# archive serves and prints that version. The newest version apt lists but
# the archive would not serve, if any, goes to file $2 (emptied otherwise).
fetch_source() {
  local pkg=$1 missed=$2 dl=$SRC_ROOT/downloads versions=() ver
  mkdir -p "$dl"
  mapfile -t versions < <(source_versions "$pkg")
  if ((${#versions[@]} == 0 && !apt_updated)); then
    apt_update
    mapfile -t versions < <(source_versions "$pkg")
  fi
  ((${#versions[@]})) || die "no source package $pkg in the apt sources"
  # apt drops privileges to _apt for downloads when it can write here.
  if id _apt >/dev/null 2>&1; then chown _apt "$dl"; fi
  : >"$missed"
  for ver in "${versions[@]}"; do
    if [[ -f $dl/${pkg}_${ver#*:}.dsc ]]; then
      printf '%s\n' "$ver"
      return
    fi
    log "$pkg: apt-get source $pkg=$ver"
    if (cd "$dl" && apt-get source -q --download-only "$pkg=$ver") >"$SRC_ROOT/apt-source.log" 2>&1; then
      printf '%s\n' "$ver"
      return
    fi
    [[ -s $missed ]] || printf '%s\n' "$ver" >"$missed"
    log "$pkg: $ver not available, trying an older revision"
  done
  tail -n 5 "$SRC_ROOT/apt-source.log" >&2
  die "apt-get source $pkg failed for every version (${versions[*]})"
}

# Unpacks the downloaded source package $1 at version $2 into a fresh $3.
unpack_source() {
  local dsc=$SRC_ROOT/downloads/${1}_${2#*:}.dsc
  rm -rf "$3"
  dpkg-source -q -x "$dsc" "$3" >/dev/null 2>&1 || die "unpacking $dsc failed"
}

# Toolchain for the codecs' own CMake builds: the posix-threads compilers,
# looking only into the cache prefix and the mingw sysroot.
write_toolchain() {
  TOOLCHAIN=$SRC_ROOT/mingw64-toolchain.cmake
  cat >"$TOOLCHAIN.new" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(CMAKE_C_COMPILER $TRIPLET-gcc-posix)
set(CMAKE_CXX_COMPILER $TRIPLET-g++-posix)
set(CMAKE_RC_COMPILER $TRIPLET-windres)
set(CMAKE_FIND_ROOT_PATH $PREFIX $SYSROOT)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF
  mv "$TOOLCHAIN.new" "$TOOLCHAIN"
}

# Configures, builds and installs the CMake project in $1 from build dir $2.
cmake_build() {
  local src=$1 build=$2
  shift 2
  mkdir -p "$build"
  # Some projects resolve relative cache paths against the current
  # directory, so configure from inside the build tree with absolute paths.
  cd "$build"
  cmake -S "$src" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DCMAKE_INSTALL_LIBDIR="$PREFIX/lib" \
    -DCMAKE_INSTALL_INCLUDEDIR="$PREFIX/include" \
    -DBUILD_SHARED_LIBS=OFF \
    "$@"
  cmake --build "$build" -j "$JOBS"
  cmake --install "$build"
}

build_libjpeg_turbo() {
  cmake_build "$1" "$2" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=ON -DWITH_JAVA=OFF \
    -DWITH_SIMD=ON -DREQUIRE_SIMD=ON \
    -DCMAKE_ASM_NASM_COMPILER=nasm
}

build_libpng() {
  cmake_build "$1" "$2" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
    -DSKIP_INSTALL_PROGRAMS=ON \
    -DZLIB_LIBRARY="$SYSROOT/lib/libz.a" -DZLIB_INCLUDE_DIR="$SYSROOT/include"
}

# giflib builds with a plain Makefile meant for the host; only its library
# objects are needed, compiled here directly with the cross compiler.
build_giflib() {
  local src=$1 build=$2 objs=() f
  local sources
  sources=$(awk '
    /^SOURCES[ \t]*=/ { on = 1; sub(/^SOURCES[ \t]*=/, "") }
    on { cont = sub(/\\$/, ""); printf "%s ", $0; if (!cont) exit }
  ' "$src/Makefile")
  [[ -n $sources ]] || { echo "no SOURCES list in $src/Makefile"; return 1; }
  mkdir -p "$build"
  for f in $sources; do objs+=("$build/${f%.c}.o"); done
  # shellcheck disable=SC2086,SC2016
  printf '%s\n' $sources | xargs -P "$JOBS" -I{} \
    sh -c 'exec "$0" -O2 -Wall -c "$1/$2" -o "$3/$(basename "$2" .c).o"' \
    "$TRIPLET-gcc-posix" "$src" {} "$build"
  rm -f "$build/libgif.a"
  "$TRIPLET-ar" rcs "$build/libgif.a" "${objs[@]}"
  install -d "$PREFIX/include" "$PREFIX/lib"
  install -m 644 "$src/gif_lib.h" "$PREFIX/include/"
  install -m 644 "$build/libgif.a" "$PREFIX/lib/"
}

build_tiff() {
  cmake_build "$1" "$2" \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
    -Dtiff-deprecated=OFF -Dcxx=OFF \
    -Dzlib=ON -Dpixarlog=ON -Djpeg=ON -Dold-jpeg=ON -Dlogluv=ON \
    -Djpeg12=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF -Dlerc=OFF \
    -Dlibdeflate=OFF \
    -DZLIB_LIBRARY="$SYSROOT/lib/libz.a" -DZLIB_INCLUDE_DIR="$SYSROOT/include" \
    -DJPEG_LIBRARY="$PREFIX/lib/libjpeg.a" -DJPEG_LIBRARY_RELEASE="$PREFIX/lib/libjpeg.a" \
    -DJPEG_INCLUDE_DIR="$PREFIX/include" \
    -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON
}

# HEVC for libheif; only the library (no SDL, no example decoder).
build_libde265() {
  cmake_build "$1" "$2" \
    -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
}

# AV1 for libheif. Meson cross-builds from a cross file of its own; the
# assembly goes through nasm, which the JPEG codec needs anyway. No tools,
# no tests, and no logging to stderr, which a windowed saver does not have.
build_dav1d() {
  local src=$1 build=$2
  mkdir -p "$build"
  cat >"$build/cross.meson" <<EOF
[binaries]
c = '$TRIPLET-gcc-posix'
cpp = '$TRIPLET-g++-posix'
ar = '$TRIPLET-ar'
strip = '$TRIPLET-strip'
windres = '$TRIPLET-windres'
nasm = 'nasm'
pkgconfig = 'false'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
  meson setup "$build/meson" "$src" --cross-file "$build/cross.meson" \
    --prefix "$PREFIX" --libdir lib --includedir include \
    --buildtype release --default-library static --wrap-mode nodownload \
    -Denable_tools=false -Denable_tests=false -Denable_examples=false \
    -Denable_docs=false -Dlogging=false -Denable_asm=true
  ninja -C "$build/meson" -j "$JOBS"
  meson install -C "$build/meson" --no-rebuild
}

# HEIF and AVIF with both decoders built in: no plugin loading (the saver is
# one file), no encoders, no examples. The static-build defines keep the
# headers from declaring DLL imports. pkg-config sees only the cache, so
# that nothing of the host's (gdk-pixbuf's loader) is picked up.
build_libheif() {
  PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig PKG_CONFIG_PATH='' cmake_build "$1" "$2" \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF \
    -DWITH_X265=OFF -DWITH_AOM_DECODER=OFF -DWITH_AOM_ENCODER=OFF \
    -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=OFF \
    -DLIBDE265_INCLUDE_DIR="$PREFIX/include" -DLIBDE265_LIBRARY="$PREFIX/lib/libde265.a" \
    -DDAV1D_INCLUDE_DIR="$PREFIX/include" -DDAV1D_LIBRARY="$PREFIX/lib/libdav1d.a" \
    -DCMAKE_C_FLAGS="-DLIBHEIF_STATIC_BUILD -DLIBDE265_STATIC_BUILD" \
    -DCMAKE_CXX_FLAGS="-DLIBHEIF_STATIC_BUILD -DLIBDE265_STATIC_BUILD"
}

# WebP with its demuxer (animations, EXIF); dpkg-source has applied
# Debian's patches. The libraries only, none of the tools.
build_libwebp() {
  cmake_build "$1" "$2" \
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF \
    -DWEBP_BUILD_GIF2WEBP=OFF -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF \
    -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF \
    -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_USE_THREAD=ON
}

# build_codec NAME SOURCE-PACKAGE BUILD-FUNCTION FILE...
# FILEs, relative to the prefix, must exist after the build.
build_codec() {
  local name=$1 srcpkg=$2 fn=$3 ver f
  shift 3
  if codec_installed "$name" "$@"; then
    log "$name: $(cat "$STAMPS/$name") already built"
    return
  fi
  local dir=$SRC_ROOT/$name start=$SECONDS
  rm -f "$STAMPS/$name"
  ver=$(fetch_source "$srcpkg" "$STAMPS/$name.newer")
  log "$name: building $srcpkg $ver"
  rm -rf "$dir"
  mkdir -p "$dir"
  unpack_source "$srcpkg" "$ver" "$dir/src"
  # In the background rather than under "if", where bash would ignore
  # errexit and carry on past a failed step.
  local rc=0
  ("$fn" "$dir/src" "$dir/build") >"$dir/build.log" 2>&1 &
  wait $! || rc=$?
  if ((rc != 0)); then
    tail -n 40 "$dir/build.log" >&2
    die "$name: build failed, full log in $dir/build.log"
  fi
  for f in "$@"; do
    [[ -f $PREFIX/$f ]] || die "$name: the build did not install $PREFIX/$f"
  done
  printf '%s\n' "$ver" >"$STAMPS/$name"
  log "$name: done in $((SECONDS - start)) s"
}

# codec_installed NAME FILE...: the stamp and every file are there.
codec_installed() {
  local name=$1 f
  shift
  [[ -f $STAMPS/$name ]] || return 1
  for f in "$@"; do
    [[ -f $PREFIX/$f ]] || return 1
  done
}

# Each codec's licence beside its stamp, for the notice the Windows build
# ships (cmake/ThirdPartyNotice.cmake): the upstream licence file and
# Debian's copyright file of the very source tree that was built.
install_licences() {
  local name=$1 dir=$SRC_ROOT/$1/src out=$PREFIX/share/glimmora-licences f
  mkdir -p "$out"
  rm -f "$out/$name" "$out/$name.debian"
  for f in LICENSE.md LICENSE COPYING README.ijg; do
    [[ -f $dir/$f ]] && cat "$dir/$f" >>"$out/$name"
  done
  [[ -f $dir/debian/copyright ]] && cp "$dir/debian/copyright" "$out/$name.debian"
  [[ -f $out/$name || -f $out/$name.debian ]] || die "$name: no licence file in $dir"
}

# Says once, at the end, which revision of each codec the Windows build
# has, and which newer one apt listed but the archive did not serve: that
# one's fixes are missing from Glimmora.scr.
report_codecs() {
  local codec args name ver newer
  log "Windows codecs built (source package revisions):"
  for codec in "${CODECS[@]}"; do
    read -r -d '' -a args <<<"$codec" || true
    name=${args[0]}
    ver=$(cat "$STAMPS/$name")
    if [[ -f $STAMPS/$name.newer ]]; then
      newer=$(cat "$STAMPS/$name.newer")
    else
      # Built before this was recorded: what apt lists now tells, and is
      # kept for the notice the build ships.
      newer=$(source_versions "${args[1]}" | sed -n 1p)
      dpkg --compare-versions "$newer" gt "$ver" || newer=""
      printf '%s\n' "$newer" | sed '/^$/d' >"$STAMPS/$name.newer"
    fi
    if [[ -n $newer ]]; then
      log "  $name $ver -- NOT the newest: $newer is listed but could not be downloaded"
    else
      log "  $name $ver (the newest listed)"
    fi
  done
}

check_zlib() {
  [[ -f $SYSROOT/lib/libz.a && -f $SYSROOT/include/zlib.h ]] \
    || die "libz-mingw-w64-dev did not provide $SYSROOT/lib/libz.a"
  log "zlib: $(dpkg-query -W -f='${Version}' libz-mingw-w64-dev) from libz-mingw-w64-dev"
}

# --- XScreenSaver's daemon ------------------------------------------------------

# The Linux program's end-to-end test runs it under the real daemon. Only the
# daemon's own package is unpacked, into the cache: installing it would pull
# in its collection of display hacks, which the tests have no use for.
XSS_ROOT=$CACHE_ROOT/xscreensaver
unpack_xscreensaver() {
  local version
  version=$(apt-cache policy xscreensaver 2>/dev/null | awk '/Candidate:/ {print $2}')
  if [[ -z $version || $version == "(none)" ]] && ((apt_updated == 0)); then
    apt_update
    version=$(apt-cache policy xscreensaver 2>/dev/null | awk '/Candidate:/ {print $2}')
  fi
  [[ -n $version && $version != "(none)" ]] || die "no xscreensaver package in apt's lists"
  if [[ -x $XSS_ROOT/usr/bin/xscreensaver && $(cat "$XSS_ROOT/.version" 2>/dev/null) == "$version" ]]; then
    log "xscreensaver: daemon $version unpacked in $XSS_ROOT"
    return
  fi
  log "xscreensaver: unpacking the daemon $version"
  local dl
  dl=$(mktemp -d "$CACHE_ROOT/xscreensaver-dl.XXXXXX")
  if ! (cd "$dl" && apt-get download -q "xscreensaver=$version") >"$dl/download.log" 2>&1; then
    ((apt_updated)) || { rm -rf "$dl"; apt_update; unpack_xscreensaver; return; }
    cat "$dl/download.log" >&2
    rm -rf "$dl"
    die "apt-get download xscreensaver failed"
  fi
  rm -rf "$XSS_ROOT.new"
  dpkg-deb -x "$dl"/xscreensaver_*.deb "$XSS_ROOT.new" || die "dpkg-deb -x failed"
  printf '%s\n' "$version" >"$XSS_ROOT.new/.version"
  rm -rf "$XSS_ROOT" "$dl"
  mv "$XSS_ROOT.new" "$XSS_ROOT"
}

# --- main ------------------------------------------------------------------

CODECS=(
  "libjpeg-turbo libjpeg-turbo build_libjpeg_turbo
     lib/libjpeg.a lib/libturbojpeg.a include/jpeglib.h include/jconfig.h
     include/jmorecfg.h include/jerror.h include/turbojpeg.h"
  "libpng libpng1.6 build_libpng lib/libpng16.a include/png.h"
  "giflib giflib build_giflib lib/libgif.a include/gif_lib.h"
  "tiff tiff build_tiff lib/libtiff.a include/tiffio.h include/tiffconf.h"
  "libde265 libde265 build_libde265 lib/libde265.a include/libde265/de265.h"
  "dav1d dav1d build_dav1d lib/libdav1d.a include/dav1d/dav1d.h"
  "libheif libheif build_libheif lib/libheif.a include/libheif/heif.h"
  "libwebp libwebp build_libwebp lib/libwebp.a lib/libwebpdemux.a
     include/webp/decode.h include/webp/demux.h"
)

total_start=$SECONDS
# Source entries first, so that a fresh machine refreshes apt only once.
for codec in "${CODECS[@]}"; do
  read -r -d '' -a args <<<"$codec" || true
  if ! codec_installed "${args[0]}" "${args[@]:3}"; then
    derive_deb_src
    break
  fi
done
install_packages
((apt_stale == 0)) || apt_update
check_zlib
write_toolchain
for codec in "${CODECS[@]}"; do
  read -r -d '' -a args <<<"$codec" || true
  build_codec "${args[@]}"
  install_licences "${args[0]}"
done
log "Windows codecs ready in $PREFIX ($((SECONDS - total_start)) s)"
report_codecs
unpack_xscreensaver
