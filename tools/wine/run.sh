#!/usr/bin/env bash
# Runs a Windows program under the project's Wine, in a private prefix.
#
#   tools/wine/run.sh [--prefix DIR] [--bind DIR]... [--tool NAME] program [args...]
#   tools/wine/run.sh [--prefix DIR] --init   create the prefix, start its server
#   tools/wine/run.sh --check                 exit 0 if Wine can run programs
#                                             here, else 125 with the reason
#
# Wine is Debian's wine32 (natively, or under qemu-i386 where the machine
# cannot run 32-bit programs: tools/wine/i386_emulation.sh). This creates the
# prefix on first use and keeps one persistent wineserver per prefix so that
# every later start is fast. --tool runs another Wine tool (wineboot,
# wineserver, reg, winepath...) instead of wine. --bind is accepted for
# callers that name directories the program needs; Wine sees the whole file
# system, so nothing is mounted.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
prefix=${LITE_WINEPREFIX:-$repo/build/wineprefix}
tool=wine
binds=()
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --bind) binds+=("$2"); shift 2 ;;
    --tool) tool=$2; shift 2 ;;
    --init) init=1; shift ;;
    --check) check=1; shift ;;
    *) break ;;
  esac
done
system_wine() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
if [ -n "${check:-}" ]; then
  system_wine && exit 0
  echo "SKIPPED: Debian's wine32 cannot run here (tools/wine/i386_emulation.sh was not run or failed)"
  exit 125
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
# A caller's own DLL overrides (a test's load order) come after ours.
export WINEPREFIX=$prefix WINEDEBUG=${WINEDEBUG:--all} \
  WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# First use of a prefix: create it, once, even when several runs start at
# the same time; then keep one persistent wineserver for it.
ensure_prefix() {
  if [ ! -f "$prefix/.lite-ready" ]; then
    (
      flock 9
      if [ ! -f "$prefix/.lite-ready" ]; then
        "$@" wineboot -i >/dev/null 2>&1
        "$@" wineserver -w
        touch "$prefix/.lite-ready"
      fi
    ) 9>"$prefix/.lite-lock"
  fi
  # A new server starts Wine's own services with the first program, and they
  # inherit its output: start them with a no-op whose output goes nowhere,
  # or a caller reading this program's output would wait for them forever.
  if "$@" wineserver -p >/dev/null 2>&1; then
    "$@" wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  fi
}

# Debian's wine32 (natively or under the emulator).
if system_wine; then
  [ "$tool" = wineserver ] || ensure_prefix env
  [ -n "${init:-}" ] && exit 0
  exec "$tool" "$@"
fi

echo "run.sh: Debian's wine32 cannot run here; run tools/setup.sh (tools/wine/i386_emulation.sh)" >&2
exit 125
