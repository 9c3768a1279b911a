#!/usr/bin/env bash
# Installs the Debian packages Vornix builds and tests with, when missing.
# With --packaging, also the tools that check the installed tree and the .deb.
set -euo pipefail
packages=(
  build-essential cmake pkg-config ccache   # compiler and build
  libmspack-dev                             # cabinet decompression (MSZIP, LZX, Quantum)
  libisal-dev                               # ISA-L's inflate: MSZIP folders about three times faster than libmspack
  libpugixml-dev                            # _setup.xml documents
  zlib1g-dev                                # MSZIP cabinets written by the test builders
  nlohmann-json3-dev                        # vornix --json
  libssl-dev                                # cabinet signatures: PKCS#7, certificates, digests (OpenSSL)
  qt6-base-dev                              # the window (Qt 6 Widgets, Network, D-Bus for the portal's chooser)
  shared-mime-info                          # file types of the files list's rows: names, icons, the programs that open them
  libgtest-dev                              # unit tests
  python3 python3-jsonschema                # the tests that check --json output against docs/*.schema.json
  libgif-dev                                # GIF pictures written by the open dialog's tests
  cabextract                                # the peer the benchmark compares against
  clang libclang-rt-14-dev                  # libFuzzer targets and sanitizers
  xvfb xauth                                # screenshots without a display
  time bc                                   # the benchmark: peak memory, ratios
  librsvg2-bin                              # rsvg-convert: the icon's PNG sizes
)
if [ "${1:-}" = --packaging ]; then
  packages+=(
    desktop-file-utils                      # desktop-file-validate, update-desktop-database
    appstream                               # appstreamcli validate
    mandoc                                  # mandoc -Tlint on the manual page
    xdg-utils libfile-mimeinfo-perl         # xdg-mime query filetype (through mimetype)
    dpkg-dev                                # dpkg-shlibdeps for cpack's dependencies
    lintian                                 # checks the .deb
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
