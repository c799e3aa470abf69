#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; the run ends with CTest's summary.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh
ctest --test-dir "${CALYXOR_BUILD_DIR:-build}" --output-on-failure -j "$(nproc)" "$@"
