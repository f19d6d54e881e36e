#!/usr/bin/env bash
# Lets this machine run 32-bit x86 Linux programs (Debian's wine32) where the
# kernel or the virtual machine cannot: registers Debian 13's user-mode
# emulator qemu-i386 with binfmt_misc for i386 ELF files. Does nothing where
# 32-bit programs already run. Idempotent; the emulator is cached outside the
# work tree. Must run as root (binfmt_misc is system-wide).
#
# Some of our machines are virtual machines without a 32-bit user code
# segment: a far jump to selector 0x23 faults, so neither 32-bit Linux
# programs nor Wine's own WoW64 mode (which switches to that segment) can
# run natively there. Wine 8 under qemu-i386 10 starts a program in about
# 0.4 s with a running wineserver (docs/wine.md).
set -euo pipefail

cache=/var/cache/zarvex-lite/qemu
emulator=$cache/qemu-i386-static
probe=/lib/ld-linux.so.2

runs_i386() { "$probe" --version >/dev/null 2>&1; }

[ -e "$probe" ] || { echo "i386_emulation.sh: $probe is missing (libc6:i386)" >&2; exit 1; }
runs_i386 && exit 0

if [ ! -x "$emulator" ]; then
  # Debian 12's qemu-user (7.2) could not boot a Wine prefix; Debian 13's
  # can. apt fetches it from a trixie source pinned so low that nothing
  # else is ever installed from there, and checks it against the signed
  # index.
  src=/etc/apt/sources.list.d/lite-installer-trixie.sources
  pin=/etc/apt/preferences.d/lite-installer-trixie
  if [ ! -f "$src" ]; then
    cat > "$src" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    printf 'Package: *\nPin: release n=trixie\nPin-Priority: 1\n' > "$pin"
  fi
  apt-get update -qq
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && apt-get download -qq qemu-user/trixie)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  mkdir -p "$cache"
  install -m 0755 "$work/x/usr/bin/qemu-i386" "$emulator.new"
  "$emulator.new" --version >/dev/null
  mv "$emulator.new" "$emulator"
fi

misc=/proc/sys/fs/binfmt_misc
mountpoint -q "$misc" || mount -t binfmt_misc binfmt_misc "$misc"
if [ ! -e "$misc/lite-qemu-i386" ]; then
  # F: the kernel opens the emulator now, so it also works inside chroots
  # and private mount namespaces; P: argv[0] is kept.
  printf '%s' ':lite-qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$emulator"':FP' \
    > "$misc/register"
fi
runs_i386 || { echo "i386_emulation.sh: 32-bit programs still do not run" >&2; exit 1; }
