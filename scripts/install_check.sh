#!/usr/bin/env bash
# Installs the built tree into a temporary prefix and checks it as a desktop
# and a packager would: desktop entry, AppStream data, manual page, file types
# through the installed MIME database, the installed program itself, and the
# Debian package. Uses the build in build/ (or $VORNIX_BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --packaging
build=${VORNIX_BUILD_DIR:-build}
VORNIX_BUILD_DIR=$build bash scripts/build.sh >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
app_id=$(sed -n 's/^VORNIX_APP_ID:STRING=//p' "$build/CMakeCache.txt")
share=$prefix/share

echo "-- installed files"
(cd "$prefix" && find . -type f | sort)

echo "-- desktop-file-validate, appstreamcli, mandoc"
desktop-file-validate "$share/applications/$app_id.desktop"
appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml"
appstreamcli validate-tree --no-net "$prefix" >/dev/null  # and the desktop entry it names is there
mandoc -Tlint -W warning "$share/man/man1/vornix.1.gz"
bash -n "$share/bash-completion/completions/vornix"
for size in 16 22 24 32 48 64 128 256; do
  test -s "$share/icons/hicolor/${size}x$size/apps/$app_id.png"
done

echo "-- file types through the installed MIME database"
export XDG_DATA_DIRS="$share:/usr/local/share:/usr/share" XDG_DATA_HOME="$work/home" XDG_CURRENT_DESKTOP=
update-mime-database "$share/mime"
update-desktop-database "$share/applications"
failed=0
expect_type() {
  local got
  got=$(xdg-mime query filetype "$1")
  if [ "$got" = "$2" ]; then echo "ok   $2  $1"; else echo "FAIL $1: $got, expected $2"; failed=1; fi
}
expect_type samples/sunset.tsk application/x-pocketpc-theme
expect_type samples/tidepool.000 application/x-wince-setup
expect_type samples/tidepool.cab application/vnd.ms-cab-compressed
# A bare setup description is known by its content, whatever its name.
cp samples/tidepool.000 "$work/setup-description"
expect_type "$work/setup-description" application/x-wince-setup
if [ -d ../shared/samples ]; then
  for f in ../shared/samples/*.[cC][aA][bB]; do expect_type "$f" application/vnd.ms-cab-compressed; done
else
  echo "(../shared/samples absent: only the project's samples checked)"
fi
for type in application/vnd.ms-cab-compressed application/x-pocketpc-theme application/x-wince-setup; do
  if grep -q "^$type=.*$app_id.desktop" "$share/applications/mimeinfo.cache"; then
    echo "ok   $type opens with $app_id.desktop"
  else
    echo "FAIL $type is not offered to $app_id.desktop"; failed=1
  fi
done
[ "$failed" = 0 ]

echo "-- the installed vornix"
cp samples/tidepool.cab "$work/"
(cd "$work" && env -i PATH=/usr/bin:/bin "$prefix/bin/vornix" tidepool.cab inf)
head -c 9 "$work/tidepool.inf" | grep -qx '\[Version\]'
"$prefix/bin/vornix" --version

echo "-- Debian package"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >/dev/null
deb=$(ls "$work"/deb/*.deb)
dpkg-deb --field "$deb"
dpkg-deb -c "$deb"
lintian --fail-on error --allow-root --display-info "$deb"
echo "install check passed"
