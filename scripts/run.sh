#!/usr/bin/env bash
# Installs what is missing, builds, and starts Calyxor with the given arguments.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/build.sh" >&2
exec "$here/${CALYXOR_BUILD_DIR:-build}/calyxor" "$@"
