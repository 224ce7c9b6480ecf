#!/usr/bin/env bash
# Builds the Debian package talvio_<version>_<arch>.deb into the repository's top folder:
# a Release build of talvio and talvio-admin in build-package/ (or $TALVIO_PACKAGE_BUILD_DIR),
# then CPack with the install rules of packaging/CMakeLists.txt.
#
#   ./scripts/package.sh && ./scripts/check-package.sh talvio_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${TALVIO_PACKAGE_BUILD_DIR:-$root/build-package}"

"$root/scripts/setup-debian.sh"

launcher=()
if command -v ccache > /dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  # Paths relative to the clone, so a fresh clone elsewhere (CI) hits the same cache entries.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$root}"
fi
# The metainfo's release date and the manual's month are the last commit's, not today's.
SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2> /dev/null || date +%s)"
export SOURCE_DATE_EPOCH

echo "package.sh: configuring a Release build in $build"
mkdir -p "$build"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTALVIO_PACKAGE=ON "${launcher[@]}" \
  > "$build/configure.log" 2>&1 || { cat "$build/configure.log"; exit 1; }
echo "package.sh: building talvio, talvio-admin, icons and manual page"
cmake --build "$build" -j "${TALVIO_PACKAGE_JOBS:-2}" \
  --target talvio talvio-admin talvio_package_files
echo "package.sh: running CPack"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; exit 1; }

debs=("$build"/*.deb)
[ -e "${debs[0]}" ] || { echo "package.sh: CPack wrote no .deb (see $build/cpack.log)" >&2; exit 1; }
mv -f "${debs[0]}" "$root/"
echo "package.sh: wrote $root/$(basename "${debs[0]}")"
