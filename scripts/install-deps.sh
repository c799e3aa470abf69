#!/usr/bin/env bash
# Brings every Debian package that building, testing and benchmarking Calyxor needs.
# Idempotent: when everything is present it prints nothing and touches nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6
  qt6-l10n-tools qt6-tools-dev
  libjpeg62-turbo-dev libwmf-dev libemf2svg-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-utils imagemagick
  fonts-liberation fonts-dejavu-core fontconfig
  clang clang-format libclang-rt-14-dev strace util-linux time
  g++-mingw-w64-x86-64-posix wine64
  dpkg-dev lintian desktop-file-utils appstream file librsvg2-bin shared-mime-info passwd
  scdoc
)

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
