#!/usr/bin/env bash
# Builds what is needed and runs the whole test suite; ends with CTest's
# summary line. Idempotent.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

"$repo/tools/setup.sh" --build
export DISPLAY=$("$repo/tools/xvfb.sh")
prefix="$repo/build/wineprefix"
cleanup() {
  # Nothing may outlive the run: a persistent wineserver or the X server
  # would keep the caller's output pipes open.
  "$repo/tools/wine/run.sh" --prefix "$prefix" --tool wineserver -k \
    >/dev/null 2>&1 || true
  "$repo/tools/xvfb.sh" stop
}
trap cleanup EXIT
ctest --preset default "$@"
