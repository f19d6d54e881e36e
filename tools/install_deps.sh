#!/usr/bin/env bash
# Installs the Debian packages the build and the test bed need. Idempotent:
# does nothing (and needs no network) when everything is already there.
set -euo pipefail

# Wine is Debian's wine32 (32-bit Windows programs need the i386 side). On a
# machine that cannot execute 32-bit Linux programs natively,
# tools/wine/i386_emulation.sh (run at the end) lets it run under qemu-i386.
packages=(
  wine wine32:i386
  cmake ninja-build git python3 dpkg-dev perl make
  g++-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  libz-mingw-w64-dev
  util-linux
  xvfb xauth x11-apps imagemagick
  gcab osslsigncode openssl libssl-dev
  clang libclang-rt-14-dev clang-format
  googletest
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Source packages (Jansson, OpenSSL) are fetched with apt-get source.
src_list=/etc/apt/sources.list.d/lite-installer-src.sources
if [ ! -f "$src_list" ]; then
  "${sudo_cmd[@]}" tee "$src_list" >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  need_update=1
fi

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  "${sudo_cmd[@]}" apt-get update -qq
fi
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# 32-bit programs (wine32) must run; where the machine cannot run them
# natively they go through the user-mode emulator.
"${sudo_cmd[@]}" "$(dirname "$0")/wine/i386_emulation.sh"
