#!/usr/bin/env bash
# Builds (once) the Linux root that Wine runs in.
#
# Our machines cannot execute 32-bit Linux programs, so Debian 12's wine32
# cannot start there. Debian 13's amd64 Wine is built in the "new WoW64" way:
# a 64-bit Unix side that runs 32-bit Windows programs without any 32-bit
# Linux library. It needs Debian 13's C library, so it lives in a root of its
# own made with debootstrap, outside the work tree, and is shared by builds.
set -euo pipefail

root=${LITE_WINE_ROOT:-/var/cache/zarvex-lite/wine-root}
suite=trixie
stamp="$root/.lite-wine-root-v1"
[ -f "$stamp" ] && { echo "$root"; exit 0; }

if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >&2
fi
rm -rf "$root"
mkdir -p "$(dirname "$root")"
echo "Creating the Wine root in $root (a few minutes, once)" >&2
debootstrap --variant=minbase --arch=amd64 "$suite" "$root" http://deb.debian.org/debian >&2
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive \
  apt-get install -y -qq --no-install-recommends wine wine64 libwine fonts-wine \
  ca-certificates >&2
chroot "$root" apt-get clean
touch "$stamp"
echo "$root"
