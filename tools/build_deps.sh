#!/usr/bin/env bash
# Cross-builds the libraries we take from Debian's source packages (Jansson,
# OpenSSL's libcrypto) for i686 Windows, at pinned versions, into a cache
# outside the work tree. Prints the install prefix. Does nothing when the
# cached build is already there. The cache key holds the versions and a
# digest of this script and the toolchain file, so a change to how the
# libraries are built (flags, options) never reuses an older build.
set -euo pipefail

JANSSON_VERSION=2.14-2
OPENSSL_VERSION=3.0.17-1~deb12u2   # bookworm-updates
host=i686-w64-mingw32
cache=${LITE_DEPS_CACHE:-/var/cache/zarvex-lite/deps}
root=$(cd "$(dirname "$0")/.." && pwd)
toolchain="$root/cmake/toolchain-i686-mingw32.cmake"
recipe=$(cat "$0" "$toolchain" | sha256sum | cut -c1-12)
prefix="$cache/$host-jansson_${JANSSON_VERSION}-openssl_${OPENSSL_VERSION}-$recipe"
prefix=${prefix//\~/_}
if [ -f "$prefix/.complete" ]; then echo "$prefix"; exit 0; fi

log() { echo "build_deps: $*" >&2; }
work="$cache/src"
mkdir -p "$work"
jobs=$(nproc)
# Small code, each function and object in a section of its own, so the
# executable's --gc-sections keeps only what it calls.
size_flags="-Os -ffunction-sections -fdata-sections"

# Fetches a Debian source package at the pinned version; if the archive no
# longer carries it, takes the suite's current one and says so.
fetch_source() {
  local pkg=$1 version=$2 dir=$3
  [ -d "$dir" ] && return 0
  local tmp
  tmp=$(mktemp -d "$work/fetch.XXXXXX")
  if ! (cd "$tmp" && apt-get source -qq "$pkg=$version" >&2); then
    log "WARNING: $pkg $version is no longer in the archive; using the current one"
    (cd "$tmp" && apt-get source -qq "$pkg" >&2)
  fi
  mv "$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n1)" "$dir"
  rm -rf "$tmp"
}

log "building into $prefix"
rm -rf "$prefix"
mkdir -p "$prefix"

# --- Jansson -----------------------------------------------------------------
jsrc="$work/jansson-$JANSSON_VERSION"
fetch_source jansson "$JANSSON_VERSION" "$jsrc"
jbuild="$work/jansson-build-$recipe"
rm -rf "$jbuild"
cmake -S "$jsrc" -B "$jbuild" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DCMAKE_C_FLAGS_RELEASE="$size_flags -DNDEBUG" \
  -DJANSSON_BUILD_DOCS=OFF -DJANSSON_EXAMPLES=OFF -DJANSSON_WITHOUT_TESTS=ON \
  -DJANSSON_BUILD_SHARED_LIBS=OFF -DUSE_URANDOM=OFF -DUSE_WINDOWS_CRYPTOAPI=ON >&2
cmake --build "$jbuild" -j "$jobs" >&2
cmake --install "$jbuild" >&2
rm -rf "$jbuild"

# --- OpenSSL libcrypto ---------------------------------------------------------
# The program calls the MD5 and SHA-256 digests and EVP_EncodeBlock (Base64)
# only; everything that can be configured away is. Built in a copy of the
# sources of this recipe's own (the fetched tree may hold an older build).
osrc="$work/openssl-$OPENSSL_VERSION"
fetch_source openssl "$OPENSSL_VERSION" "$osrc"
obuild="$work/openssl-build-$recipe"
rm -rf "$obuild"
cp -a "$osrc" "$obuild"
(
  cd "$obuild"
  [ -f Makefile ] && make -s clean >/dev/null 2>&1 || true
  ./Configure mingw --cross-compile-prefix=$host- --prefix="$prefix" \
    --libdir=lib no-shared no-module no-asm no-tests no-engine \
    no-dso no-legacy no-ui-console no-ssl no-tls no-dtls no-sock no-async \
    no-ocsp no-cms no-ts no-srp no-ct no-comp no-srtp no-cmp no-rfc3779 \
    no-sm2 no-sm3 no-sm4 no-idea no-seed no-camellia no-aria no-bf no-cast \
    no-des no-rc2 no-rc4 no-mdc2 no-whirlpool no-siphash no-scrypt \
    no-ec no-dh no-dsa no-chacha no-poly1305 no-blake2 no-md4 no-rmd160 \
    no-ocb no-gost no-psk $size_flags >&2
  make -s -j "$jobs" build_generated >&2
  make -s -j "$jobs" libcrypto.a >&2
  mkdir -p "$prefix/lib" "$prefix/include"
  cp libcrypto.a "$prefix/lib/"
  cp -r include/openssl "$prefix/include/"
)
rm -rf "$obuild"
touch "$prefix/.complete"
echo "$prefix"
