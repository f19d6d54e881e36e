#!/usr/bin/env bash
# Builds everything and runs the installer's main job under Wine.
#
#   tools/setup.sh            install what is missing, build, run the installer
#   tools/setup.sh --build    the same without running it
#
# Idempotent: when nothing changed it only checks and rebuilds nothing.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"

"$repo/tools/install_deps.sh"
cmake --preset default >/dev/null
cmake --build --preset default

[ "${1:-}" = --build ] && exit 0

export DISPLAY=$("$repo/tools/xvfb.sh")
prefix="$repo/build/wineprefix"
"$repo/tools/run_main_job.py"
"$repo/tools/wine/run.sh" --prefix "$prefix" --tool wineserver -k >/dev/null 2>&1 || true
