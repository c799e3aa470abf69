#!/usr/bin/env bash
# Installs what is missing and builds Calyxor into build/ (or $CALYXOR_BUILD_DIR).
# Under CI (CI=true), or with CALYXOR_WERROR=ON, every compiler warning fails the build.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build="${CALYXOR_BUILD_DIR:-build}"
options=("$@")
if [ "${CI:-}" = true ] || [ "${CALYXOR_WERROR:-}" = ON ]; then
  options+=(-DCALYXOR_WERROR=ON)
fi
# An existing build is configured again only when options are given, so that they take hold.
if [ ! -f "$build/build.ninja" ] || [ "${#options[@]}" -gt 0 ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
fi
cmake --build "$build" -j "$(nproc)"
