#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The self-extracting modules: their sizes, and how fast and in how much memory the Linux
# module restores a large file, printed as one table.
#
#   bench/sfx-bench.sh BUILD_DIR [OTHER_MODULE...]
#
# Builds nothing: BUILD_DIR must hold calyxor-cli and SFX/default.sfx (and SFX/windows.sfx,
# when built). Each OTHER_MODULE (another build's default.sfx, say main's) is measured beside
# it. Makes a random file of MIB (default 256) MiB in a temporary folder and removes it at the
# end; REPEAT (default 3) sets how often each restore runs, and the table shows medians.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR [OTHER_MODULE...]}
build=$(cd "$build" && pwd)
shift
repeat=${REPEAT:-3}
mib=${MIB:-256}
cli=$build/calyxor-cli
for f in "$cli" "$build/SFX/default.sfx" /usr/bin/time; do
    [[ -x $f ]] || { echo "missing: $f" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/calyxor-sfx-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

head -c $((mib * 1048576)) /dev/urandom >"$work/plain"
printf '%-40s %12s %10s %10s %10s\n' module bytes "restore s" "MiB/s" "peak KiB"
[[ -f $build/SFX/windows.sfx ]] &&
    printf '%-40s %12s\n' "$build/SFX/windows.sfx" "$(stat -c %s "$build/SFX/windows.sfx")"
n=0
for module in "$build/SFX/default.sfx" "$@"; do
    n=$((n + 1))
    dir=$work/$n
    mkdir "$dir"
    cp "$work/plain" "$dir/plain"
    printf 'bench key\n' | "$cli" encrypt --key-file - --sfx="$module" "$dir/plain"
    times=() peaks=()
    for ((k = 0; k < repeat; ++k)); do
        rm -f "$dir/out"
        printf 'bench key\n' |
            /usr/bin/time -f '%e %M' -o "$work/time" "$dir/plain.exe" -o "$dir/out" 2>/dev/null
        cmp -s "$dir/out" "$work/plain" || { echo "$module restored other bytes" >&2; exit 1; }
        read -r t m <"$work/time"
        times+=("$t") peaks+=("$m")
    done
    t=$(printf '%s\n' "${times[@]}" | median)
    m=$(printf '%s\n' "${peaks[@]}" | median)
    printf '%-40s %12s %10s %10.0f %10s\n' "$module" "$(stat -c %s "$module")" "$t" \
        "$(awk -v s="$t" -v n="$mib" 'BEGIN { print (s > 0 ? n / s : 0) }')" "$m"
done
