#!/usr/bin/env bash
# Installs, builds, makes the demo program folder demo/ when it is missing, and starts the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-debian.sh"
"$root/scripts/build.sh"
build="${TALVIO_BUILD_DIR:-$root/build}"
demo="${TALVIO_DEMO_DIR:-$root/demo}"
if [ ! -e "$demo/hd.db" ]; then
  "$build/bin/talvio-admin" demo "$demo"
fi
echo "Sign in as: admin / talvio"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found; starting on a virtual X display (xvfb-run)."
  exec xvfb-run -a "$build/bin/talvio" --data-dir "$demo"
fi
exec "$build/bin/talvio" --data-dir "$demo"
