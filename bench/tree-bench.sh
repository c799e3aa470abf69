#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Time for the folder case: `calyxor-cli encrypt -r` over a tree of many small files and a few
# large ones, with -j 1 and -j 2, beside `ccrypt -r` (Debian's ccrypt) on a copy of the same
# tree, measured in the same run.
#
#   bench/tree-bench.sh BUILD_DIR        (BUILD_DIR holds calyxor-cli; a Release build is fair)
#
# SMALL (default 10000) files of 1 to 8 KiB in 100 folders and LARGE (default 4) files of
# 64 MiB; REPEAT (default 3) runs of each, medians shown. Needs about 1 GiB in TMPDIR.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
cli=$(cd "$build" && pwd)/calyxor-cli
[[ -x $cli ]] || { echo "missing: $cli" >&2; exit 2; }
command -v ccrypt >/dev/null || { echo "ccrypt is missing (apt-get install ccrypt)" >&2; exit 2; }
small=${SMALL:-10000}
large=${LARGE:-4}
repeat=${REPEAT:-3}

work=$(mktemp -d "${TMPDIR:-/tmp}/calyxor-tree.XXXXXX")
trap 'rm -rf "$work"' EXIT
printf 'tree bench key\n' >"$work/key"

python3 - "$work/tree" "$small" "$large" <<'PY'
import os, random, sys
root, small, large = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rnd = random.Random(5)
words = ['alpha', 'beta', 'gamma', 'delta', 'report', 'data', 'ключ', 'шифр', '1987']
for i in range(small):
    d = os.path.join(root, f'dir{i % 100:02d}')
    os.makedirs(d, exist_ok=True)
    n = rnd.randint(1024, 8192)
    text = ' '.join(rnd.choice(words) for _ in range(n // 5)).encode()[:n]
    open(os.path.join(d, f'file{i}.txt'), 'wb').write(text)
for i in range(large):
    block = ' '.join(rnd.choice(words) for _ in range(200000)).encode()
    with open(os.path.join(root, f'large{i}.txt'), 'wb') as f:
        while f.tell() < 64 << 20:
            f.write(block)
PY

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
elapsed() { # elapsed COMMAND...: seconds of wall clock
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc
}
fresh() { rm -rf "$work/run"; cp -a "$work/tree" "$work/run"; sync; }

declare -A times
for ((r = 0; r < repeat; ++r)); do
    for j in 1 2; do
        fresh
        times[cli$j]+="$(elapsed "$cli" encrypt -q -r -j "$j" --key-file "$work/key" "$work/run") "
    done
    fresh
    times[ccrypt]+="$(elapsed ccrypt -e -r -f -K "tree bench key" "$work/run") "
done
files=$((small + large))
bytes=$(du -sb "$work/tree" | cut -f1)
printf 'tree: %d files, %d MiB; medians of %d runs\n' "$files" $((bytes >> 20)) "$repeat"
printf '%-34s %9s\n' "command" "seconds"
for k in cli1 cli2 ccrypt; do
    case $k in
        cli1) label="calyxor-cli encrypt -r -j 1" ;;
        cli2) label="calyxor-cli encrypt -r -j 2" ;;
        ccrypt) label="ccrypt -e -r" ;;
    esac
    printf '%-34s %9.2f\n' "$label" "$(tr ' ' '\n' <<<"${times[$k]}" | grep . | median)"
done
