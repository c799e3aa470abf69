#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Brings the Debian packages Calyxor needs:
#   install-deps.sh run    what building and running the programs and their modules needs
#   install-deps.sh        that and what the tests, the benchmarks and the package need
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

# The programs: the compiler and build tools, Qt with its translation tools and the
# translations of its own texts, the picture libraries, libmagic and zlib for the key check,
# the window's fonts, musl for the Linux self-extracting module and MinGW for the Windows one.
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  libjpeg62-turbo-dev libwmf-dev libemf2svg-dev
  libmagic-dev zlib1g-dev
  fonts-liberation fonts-dejavu-core fontconfig
  musl-dev
  g++-mingw-w64-x86-64-win32
)
if [ "${1:-}" != run ]; then
  # The tests (GoogleTest, an X server and its tools, screenshots, clang for the fuzzers and
  # the formatting check, strace for the faults, valgrind's memcheck for what Qt reads of a
  # decoded picture, tmux for calyxor-cli's terminal, Wine for
  # the Windows module, a session bus with the accessibility bus and a notification daemon
  # for the window's desktop side), the benchmarks, and what building and checking the Debian
  # package takes.
  packages+=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xdotool x11-utils imagemagick
    clang clang-format libclang-rt-14-dev strace valgrind util-linux time tmux ccrypt
    wine64
    dpkg-dev lintian desktop-file-utils appstream file librsvg2-bin shared-mime-info passwd
    scdoc
    dbus at-spi2-core python3-pyatspi dunst zsh fish python3-nautilus
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
