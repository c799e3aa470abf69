#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds the programs (not the tests), and starts Calyxor with the
# given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/build.sh" --run >&2
exec "$here/${CALYXOR_BUILD_DIR:-build}/calyxor" "$@"
