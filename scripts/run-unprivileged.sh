#!/usr/bin/env bash
# Runs a test program as an unprivileged user when started as root, so that permission bits
# (a read-only folder) hold as they do for an operator. The program is copied to a folder that
# user can reach, wherever the build lies.
set -euo pipefail
program="$1"
shift
if [ "$(id -u)" -ne 0 ] || ! command -v setpriv >/dev/null; then
  exec "$program" "$@"
fi
place="$(mktemp -d)"
trap 'rm -rf "$place"' EXIT
cp "$program" "$place/"
chmod 755 "$place" "$place/$(basename "$program")"
mkdir -m 700 "$place/runtime" "$place/tmp"
chown 65534:65534 "$place/runtime" "$place/tmp"
cd "$place"
HOME="$place/tmp" XDG_RUNTIME_DIR="$place/runtime" TMPDIR="$place/tmp" \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$place/$(basename "$program")" "$@"
