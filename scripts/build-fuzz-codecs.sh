#!/usr/bin/env bash
# Builds the HEIF codecs that Glimmora.scr ships (libheif, libde265, dav1d,
# at the very revisions scripts/setup.sh cross-built) natively, with
# libFuzzer's coverage and AddressSanitizer, as static archives for the
# `fuzz` preset. Debian's own libheif is a newer revision with fixes the
# Windows build lacks, so fuzzing against it would not say what the saver
# is exposed to.
#
# Usage: scripts/build-fuzz-codecs.sh [PREFIX]
# (default /var/cache/glimmora/fuzz-codecs; then configure the fuzz preset
# with -DGLIMMORA_FUZZ_CODECS=PREFIX). Safe to re-run: a build whose
# versions match the Windows ones is kept.
set -euo pipefail

CACHE_ROOT=/var/cache/glimmora
SRC_ROOT=${GLIMMORA_WIN_SRC:-$CACHE_ROOT/src}
WIN_STAMPS=${GLIMMORA_WIN_DEPS:-$CACHE_ROOT/mingw64}/share/glimmora-stamps
PREFIX=${1:-$CACHE_ROOT/fuzz-codecs}
WORK=$PREFIX/build
STAMPS=$PREFIX/share/glimmora-stamps
JOBS=${JOBS:-1}

log() { printf '[fuzz-codecs %(%H:%M:%S)T] %s\n' -1 "$*" >&2; }
die() { printf '[fuzz-codecs] ERROR: %s\n' "$*" >&2; exit 1; }

# Third-party code: coverage and ASan, not UBSan, whose reports about the
# codecs' own arithmetic would drown the fuzzer's output; our code keeps it.
FLAGS="-fsanitize=fuzzer-no-link,address -g -O1 -fno-omit-frame-pointer"
export CC=clang CXX=clang++ CFLAGS="$FLAGS" CXXFLAGS="$FLAGS" LDFLAGS="-fsanitize=address"

mkdir -p "$PREFIX" "$WORK" "$STAMPS"

# The sources setup unpacked, copied under its lock so that a setup run
# rebuilding one at the same time cannot change them under us.
copy_sources() {
  local name
  exec 9>"$CACHE_ROOT/.setup.lock"
  flock 9
  for name in libde265 dav1d libheif; do
    [[ -f $WIN_STAMPS/$name && -d $SRC_ROOT/$name/src ]] \
      || die "$name: no Windows build yet (run scripts/setup.sh first)"
    if [[ $(cat "$STAMPS/$name" 2>/dev/null) == "$(cat "$WIN_STAMPS/$name")" ]]; then
      continue
    fi
    rm -rf "$WORK/$name" "$STAMPS/$name"
    cp -a "$SRC_ROOT/$name/src" "$WORK/$name"
    cp "$WIN_STAMPS/$name" "$WORK/$name.version"
  done
  exec 9>&-
}

cmake_build() {
  local name=$1
  shift
  cmake -S "$WORK/$name" -B "$WORK/$name-build" -G Ninja \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_INSTALL_PREFIX="$PREFIX" -DCMAKE_INSTALL_LIBDIR=lib \
    -DBUILD_SHARED_LIBS=OFF "$@"
  cmake --build "$WORK/$name-build" -j "$JOBS"
  cmake --install "$WORK/$name-build"
}

build_libde265() {
  cmake_build libde265 -DENABLE_SDL=OFF -DENABLE_DECODER=OFF -DENABLE_ENCODER=OFF
}

# The assembly is left out: sanitizers see only the C versions of those
# routines, which decode the same streams.
build_dav1d() {
  meson setup "$WORK/dav1d-build" "$WORK/dav1d" --prefix "$PREFIX" --libdir lib \
    --buildtype plain --default-library static --wrap-mode nodownload \
    -Denable_tools=false -Denable_tests=false -Denable_examples=false \
    -Denable_docs=false -Dlogging=false -Denable_asm=false -Db_lundef=false
  ninja -C "$WORK/dav1d-build" -j "$JOBS"
  meson install -C "$WORK/dav1d-build" --no-rebuild
}

build_libheif() {
  PKG_CONFIG_LIBDIR=$PREFIX/lib/pkgconfig PKG_CONFIG_PATH='' cmake_build libheif \
    -DENABLE_PLUGIN_LOADING=OFF -DWITH_EXAMPLES=OFF -DBUILD_TESTING=OFF \
    -DWITH_LIBDE265=ON -DWITH_LIBDE265_PLUGIN=OFF -DWITH_DAV1D=ON -DWITH_DAV1D_PLUGIN=OFF \
    -DWITH_X265=OFF -DWITH_AOM_DECODER=OFF -DWITH_AOM_ENCODER=OFF \
    -DWITH_SvtEnc=OFF -DWITH_RAV1E=OFF -DWITH_DEFLATE_HEADER_COMPRESSION=OFF \
    -DWITH_GDK_PIXBUF=OFF \
    -DLIBDE265_INCLUDE_DIR="$PREFIX/include" -DLIBDE265_LIBRARY="$PREFIX/lib/libde265.a" \
    -DDAV1D_INCLUDE_DIR="$PREFIX/include" -DDAV1D_LIBRARY="$PREFIX/lib/libdav1d.a" \
    -DCMAKE_C_FLAGS="$FLAGS -DLIBHEIF_STATIC_BUILD -DLIBDE265_STATIC_BUILD" \
    -DCMAKE_CXX_FLAGS="$FLAGS -DLIBHEIF_STATIC_BUILD -DLIBDE265_STATIC_BUILD"
}

copy_sources
for name in libde265 dav1d libheif; do
  if [[ -f $STAMPS/$name ]]; then
    log "$name: $(cat "$STAMPS/$name") already built"
    continue
  fi
  log "$name: building $(cat "$WORK/$name.version") natively for the fuzzer"
  rm -rf "$WORK/$name-build"
  "build_$name" >"$WORK/$name.log" 2>&1 || { tail -n 30 "$WORK/$name.log" >&2; die "$name failed, log in $WORK/$name.log"; }
  cp "$WORK/$name.version" "$STAMPS/$name"
done
log "fuzzing codecs ready in $PREFIX: libheif $(cat "$STAMPS/libheif"), libde265 $(cat "$STAMPS/libde265"), dav1d $(cat "$STAMPS/dav1d")"
