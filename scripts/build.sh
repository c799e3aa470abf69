#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing and builds Calyxor into build/ (or $CALYXOR_BUILD_DIR).
#   build.sh [CMAKE_OPTION...]        the programs, every test and the benchmarks
#   build.sh --run [CMAKE_OPTION...]  only the programs and the modules they ship
# Under CI (CI=true), or with CALYXOR_WERROR=ON, every compiler warning fails the build.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=all
if [ "${1:-}" = --run ]; then
  mode=run
  shift
fi
if [ "$mode" = run ]; then
  ./scripts/install-deps.sh run
else
  ./scripts/install-deps.sh
fi
build="${CALYXOR_BUILD_DIR:-build}"
options=("$@")
if [ "${CI:-}" = true ] || [ "${CALYXOR_WERROR:-}" = ON ]; then
  options+=(-DCALYXOR_WERROR=ON)
fi
if [ ! -f "$build/build.ninja" ]; then
  # A first build for running leaves the tests out, so that it needs none of their packages.
  if [ "$mode" = run ]; then
    options+=(-DCALYXOR_TESTS=OFF -DCALYXOR_BENCH=OFF)
  fi
  cmake --preset default -B "$build" "${options[@]}" >/dev/null
else
  # A build made for running grows its tests when they are asked for.
  if [ "$mode" = all ] && grep -q '^CALYXOR_TESTS:BOOL=OFF' "$build/CMakeCache.txt"; then
    options+=(-DCALYXOR_TESTS=ON -DCALYXOR_BENCH=ON)
  fi
  # An existing build is configured again only when options are given, so that they take hold.
  if [ "${#options[@]}" -gt 0 ]; then
    cmake -S . -B "$build" "${options[@]}" >/dev/null
  fi
fi
if [ "$mode" = run ]; then
  cmake --build "$build" -j "$(nproc)" --target programs
else
  cmake --build "$build" -j "$(nproc)"
fi
