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
if ldd "$prefix/bin/vornix" | grep -E 'libQt|libcrypto'; then
  echo "FAIL the batch executable loads the libraries above at start-up"; exit 1
fi
# It finds the window and the signature reader where the install put them.
gui=$(find "$prefix" -name vornix-gui -type f)
module=$(find "$prefix" -name vornix-signature.so -type f)
test -f "$module"
if [ -n "$gui" ]; then echo "ok   window $gui, signature reader $module"; else echo "ok   no window in this build; signature reader $module"; fi

# Both layouts: one package, or the command line (vornix-cli, no Qt) and the
# desktop (vornix) apart. The layout only changes the packing: nothing is
# rebuilt, and the build keeps the layout it had.
split=$(sed -n 's/^VORNIX_SPLIT_PACKAGES:BOOL=//p' "$build/CMakeCache.txt")
trap 'cmake -S . -B "$build" -DVORNIX_SPLIT_PACKAGES="${split:-OFF}" >/dev/null; rm -rf "$work"' EXIT
for layout in OFF ON; do
  echo "-- Debian packages, VORNIX_SPLIT_PACKAGES=$layout"
  cmake -S . -B "$build" -DVORNIX_SPLIT_PACKAGES=$layout >/dev/null
  rm -rf "$work/deb"
  cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/deb" >/dev/null
  for deb in "$work"/deb/*.deb; do
    dpkg-deb --field "$deb"
    dpkg-deb -c "$deb"
    lintian --fail-on error --allow-root --display-info "$deb"
  done
  if [ "$layout" = ON ]; then
    cli=$(ls "$work"/deb/vornix-cli_*.deb)
    if dpkg-deb --field "$cli" Depends | grep -i qt; then
      echo "FAIL vornix-cli depends on Qt"; exit 1
    fi
    desktop=$(ls "$work"/deb/vornix_*.deb)
    if [ -n "$gui" ]; then grep -q '/libexec/vornix/vornix-gui$' <<<"$(dpkg-deb -c "$desktop")"; fi
    cli_files=$(dpkg-deb -c "$cli")
    grep -q '/usr/bin/vornix$' <<<"$cli_files"
    grep -q '/vornix/vornix-signature.so$' <<<"$cli_files"
    echo "ok   vornix-cli has no Qt dependency; the window is in the desktop package"
  fi
done
echo "install check passed"
