#!/usr/bin/env bash
# Builds Wine (Debian 13's source package) in its "new WoW64" form inside the
# Wine root made by make_root.sh, and installs it there under /opt/wine-wow64.
#
# Only needed where the kernel cannot execute 32-bit Linux programs, so that
# Debian's wine32 cannot start; Debian's amd64 Wine has no 32-bit Windows side. A WoW64 build
# (--enable-archs=i386,x86_64) runs 32-bit Windows programs with a purely
# 64-bit Linux side. Modules the installer and its tests never load (Direct3D
# helpers, old C runtimes, media) are left out to keep the build short.
# Done once per machine; the result is cached outside the work tree.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
# Debian's wine32 runs here: nothing to build.
/usr/lib/wine/wine --version >/dev/null 2>&1 && exit 0
root=$("$here/make_root.sh")
stamp="$root/opt/wine-wow64/.complete-v1"
[ -f "$stamp" ] && exit 0

in_root() {
  chroot "$root" /usr/bin/env DEBIAN_FRONTEND=noninteractive HOME=/root \
    PATH=/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

if [ ! -f "$root/etc/apt/sources.list.d/src.list" ]; then
  echo "deb-src http://deb.debian.org/debian trixie main" \
    > "$root/etc/apt/sources.list.d/src.list"
fi
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
mountpoint -q "$root/dev" || mount --rbind /dev "$root/dev"
trap 'umount -l "$root/dev" 2>/dev/null; umount -l "$root/proc" 2>/dev/null' EXIT

in_root apt-get update -qq
in_root apt-get install -y -qq --no-install-recommends dpkg-dev autoconf git >/dev/null
src=/usr/src/wine-src
if [ ! -d "$root$src" ]; then
  in_root bash -c "mkdir -p /usr/src/fetch && cd /usr/src/fetch && apt-get source -qq wine >/dev/null 2>&1 && mv \$(find . -mindepth 1 -maxdepth 1 -type d | head -n1) $src"
fi
in_root apt-get build-dep -y -qq --no-install-recommends wine >/dev/null

# Debian's source drops generated files; its own rules make them again. Run
# those steps (everything of its configure target but configure itself).
if [ ! -f "$root$src/.generated" ]; then
  in_root bash -c "
    set -e
    cd $src
    sed 's|^\t\./configure \$(CONFLAGS)|\ttrue|' debian/rules > debian/rules.generate
    make -f debian/rules.generate override_dh_auto_configure >/dev/null
    # make_makefiles lists the sources through git.
    [ -d .git ] || { git init -q && printf '.pc/\\ndebian/\\n' > .git/info/exclude && git add -A && git -c user.name=b -c user.email=b@localhost commit -qm src; }
    ./tools/make_makefiles >/dev/null
    autoreconf -f >/dev/null 2>&1
    touch .generated
  "
fi

disabled=$(cd "$root$src/dlls" && ls -d d3dx9_* d3dx10_* d3dx11_* d3dcompiler_* \
  msvcr7* msvcr8* msvcr9* msvcr100 msvcr110 msvcr120* msvcp7* msvcp8* msvcp9* \
  msvcp100 msvcp110 msvcp120* xinput* xaudio2_* x3daudio* xapofx* mshtml \
  jscript vbscript d3d8 d3d9 d3d10* d3d11 d3d12* dxgi wined3d ddraw \
  dinput8 dinput opengl32 vulkan-1 winevulkan mfplat mf mfreadwrite \
  quartz qedit qcap winegstreamer wmvcore mscoree 2>/dev/null | sort -u | \
  sed 's/^/--disable-/' | tr '\n' ' ')

in_root bash -c "
  set -e
  # Debian's patches assume a build inside the source tree.
  cd $src
  if [ ! -f Makefile ]; then
    ./configure --prefix=/opt/wine-wow64 --enable-archs=i386,x86_64 \
      --enable-maintainer-mode \
      --disable-tests --without-alsa --without-capi --without-coreaudio \
      --without-cups --without-dbus --without-gettext --without-gphoto \
      --without-gssapi --without-gstreamer --without-krb5 --without-netapi \
      --without-opencl --without-opengl --without-oss --without-pcap \
      --without-pcsclite --without-pulse --without-sane --without-sdl \
      --without-udev --without-unwind --without-usb --without-v4l2 \
      --without-vulkan --without-wayland --without-osmesa --without-ffmpeg \
      $disabled >/dev/null
  fi
  # Debian's source has no fonts; take the ones its fonts-wine package
  # ships instead of generating them with fontforge.
  cp -n /usr/share/wine/fonts/* fonts/
  # The headers first: Windows headers generated from IDL must exist before
  # anything could fall back to the cross compiler's own.
  make -s -j$(nproc) -C include >/dev/null
  make -s -j$(nproc) >/dev/null
  make -s install >/dev/null
"
touch "$stamp"
