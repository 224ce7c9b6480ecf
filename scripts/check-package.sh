#!/usr/bin/env bash
# Checks a built Debian package: its control fields, the files it installs, the desktop entry,
# AppStream metadata and manual page through their validators, and that the unpacked programs
# run: talvio draws its first window offscreen, talvio-admin makes a demo folder.
#
#   ./scripts/check-package.sh talvio_<version>_<arch>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
deb="${1:?usage: check-package.sh talvio_<version>_<arch>.deb}"
[ -f "$deb" ] || { echo "check-package: no such file: $deb" >&2; exit 2; }
id=org.talvio.Talvio
version="$(sed -n 's/^project(Talvio VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
pkg="$tmp/root"
failures=0
passed=0
failed=0
fail() { echo "check-package: FAIL: $*" >&2; failures=$((failures + 1)); }
# Ends a group of checks: it passed when none of its checks failed since the last group.
counted=0
group() {
  if [ "$failures" -eq "$counted" ]; then
    echo "check-package: ok: $*"
    passed=$((passed + 1))
  else
    echo "check-package: failed: $*" >&2
    failed=$((failed + 1))
  fi
  counted=$failures
}

# Control fields: name, version, file name, and the run-time packages shlibdeps cannot see.
[ "$(dpkg-deb -f "$deb" Package)" = talvio ] || fail "package name is not talvio"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version is not $version"
arch="$(dpkg-deb -f "$deb" Architecture)"
[ "$(basename "$deb")" = "talvio_${version}_${arch}.deb" ] || fail "file name is not talvio_${version}_${arch}.deb"
depends="$(dpkg-deb -f "$deb" Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//')"
for p in libqt6sql6-sqlite fonts-noto-cjk qt6-translations-l10n gstreamer1.0-plugins-base \
  gstreamer1.0-plugins-good libqt6gui6 libqt6widgets6 libqt6multimedia6 libsodium23; do
  grep -qx "$p" <<< "$depends" || fail "Depends lacks $p"
done
dpkg-deb -c "$deb" | awk '$2 != "root/root"' | grep . && fail "files not owned by root"
group "control fields of $(basename "$deb")"

# The files.
dpkg -x "$deb" "$pkg"
files=(usr/bin/talvio usr/bin/talvio-admin "usr/share/applications/$id.desktop"
  "usr/share/icons/hicolor/scalable/apps/$id.svg" "usr/share/metainfo/$id.metainfo.xml"
  usr/share/man/man1/talvio-admin.1.gz usr/share/doc/talvio/copyright)
for f in "${files[@]}"; do [ -s "$pkg/$f" ] || fail "missing $f"; done
for b in talvio talvio-admin; do
  grep -q '^ELF.*, stripped' <<< "$(file -b "$pkg/usr/bin/$b")" || fail "/usr/bin/$b is no stripped program"
  [ -x "$pkg/usr/bin/$b" ] || fail "/usr/bin/$b is not executable"
done
for n in 16 32 48 64 128 256; do
  png="usr/share/icons/hicolor/${n}x${n}/apps/$id.png"
  grep -q "^PNG image data, $n x $n," <<< "$(file -b "$pkg/$png")" || fail "$png is no ${n}x$n PNG"
done
grep -q 'MIT License' "$pkg/usr/share/doc/talvio/copyright" || fail "copyright is not the MIT licence"
group "installed files"

# Desktop entry and AppStream metadata: valid, and naming one another by the same id.
desktop="$pkg/usr/share/applications/$id.desktop"
metainfo="$pkg/usr/share/metainfo/$id.metainfo.xml"
out="$(desktop-file-validate "$desktop" 2>&1)" && [ -z "$out" ] || fail "desktop-file-validate: $out"
for line in "Name=Talvio" "Name[zh_CN]=会员管理" "Exec=talvio" "Icon=$id" "Categories=Office;"; do
  grep -qxF "$line" "$desktop" || fail "desktop entry lacks $line"
done
grep -q '^Comment=' "$desktop" && grep -q '^Comment\[zh_CN\]=' "$desktop" || fail "desktop entry lacks a Comment in English and zh_CN"
out="$(appstreamcli validate --no-net "$metainfo" 2>&1)" || fail "appstreamcli validate: $out"
grep -Eq '^(W|E):' <<< "$out" && fail "appstreamcli validate warns: $out"
grep -q "<id>$id</id>" "$metainfo" || fail "metainfo id is not $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "metainfo does not launch $id.desktop"
grep -q "<release version=\"$version\" date=\"[0-9-]*\"" "$metainfo" || fail "metainfo has no release $version"
group "desktop entry and metainfo validate"

# Manual page: groff must format it without a warning.
man_page="$pkg/usr/share/man/man1/talvio-admin.1.gz"
out="$(zcat "$man_page" | groff -k -man -Tutf8 -ww -z 2>&1)" && [ -z "$out" ] || fail "groff: $out"
grep -q 'talvio-admin init' <<< "$(MANWIDTH=80 man -l "$man_page" 2> /dev/null)" || fail "man -l shows no commands"
group "manual page"

# The unpacked programs, against the system's Qt, in a home of their own.
mkdir -p "$tmp/home" "$tmp/empty" && mkdir -m 700 "$tmp/runtime"
run() { HOME="$tmp/home" XDG_RUNTIME_DIR="$tmp/runtime" QT_QPA_PLATFORM=offscreen timeout 60 "$@"; }
TALVIO_EXIT_WHEN_SHOWN=1 run "$pkg/usr/bin/talvio" --data-dir "$tmp/empty" > "$tmp/first.log" 2>&1 ||
  fail "talvio over an empty folder exited $?: $(cat "$tmp/first.log")"
[ -e "$tmp/empty/hd.db" ] && fail "talvio made hd.db in an empty folder without being asked"
run "$pkg/usr/bin/talvio-admin" demo "$tmp/demo" > "$tmp/demo.log" 2>&1 ||
  fail "talvio-admin demo exited $?: $(cat "$tmp/demo.log")"
[ -s "$tmp/demo/hd.db" ] || fail "talvio-admin demo made no hd.db"
# Over a store the sign-in opens the database, so the SQLite driver must load.
TALVIO_EXIT_WHEN_SHOWN=1 run "$pkg/usr/bin/talvio" --data-dir "$tmp/demo" > "$tmp/signin.log" 2>&1 ||
  fail "talvio over the demo folder exited $?: $(cat "$tmp/signin.log")"
grep -i 'driver not loaded\|cannot load' "$tmp/signin.log" && fail "talvio could not load a plugin"
group "talvio draws its first windows, talvio-admin makes a demo folder"

echo "check-package: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
