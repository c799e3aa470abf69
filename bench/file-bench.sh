#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Whole-file speed and memory of `calyxor ENC`/`DEC`, beside the in-memory transform measured
# in the same run, printed as one table.
#
#   bench/file-bench.sh BUILD_DIR
#
# Builds nothing: BUILD_DIR must hold calyxor and calyxor_bench (a Release build, e.g.
#   cmake -S . -B build-perf -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build-perf --target calyxor calyxor_bench).
# Makes a 512 MiB and a 1 GiB random file in a temporary folder and removes them at the end.
# REPEAT (default 3) sets how often each timed step runs; the table shows medians.
# Needs about 4 GiB of free disk in TMPDIR and 2 GiB of memory for the in-memory run.
# When BUILD_DIR also holds calyxor-cli, a second table times `calyxor-cli encrypt -j N` of
# N files of JOBS_MIB (default 256) MiB each, for N = 1, 2, 4, and a third SMALL_FILES (default
# 400) files of 1 KiB with -j 1 and -j 2.
# When BUILD_DIR holds calyxor_yardstick (bench/Yardstick.cpp: a textbook RC4 that maps its
# source, writes 640 KiB blocks and fsyncs), every whole-file figure has the yardstick's beside
# it, run in the same repetition: one file, and N of them at once as N processes.
set -euo pipefail

build=${1:?usage: $0 BUILD_DIR}
build=$(cd "$build" && pwd)
repeat=${REPEAT:-3}
calyxor=$build/calyxor
bench=$build/calyxor_bench
yardstick=$build/calyxor_yardstick
[[ -x $yardstick ]] || yardstick=
for f in "$calyxor" "$bench" /usr/bin/time; do
    [[ -x $f ]] || { echo "missing: $f" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/calyxor-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# Runs the program headless under /usr/bin/time -v; prints "elapsed cpu maxrss_kib".
timed_run() {
    local verb=$1 src=$2 dst=$3 log=$work/time.log
    rm -f "$dst"
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
        /usr/bin/time -v -o "$log" "$calyxor" "$verb" "bench key" "$src" "$dst" >/dev/null
    awk -F': ' '
        /Elapsed \(wall clock\)/ { n = split($2, t, ":"); e = 0; for (i = 1; i <= n; ++i) e = e * 60 + t[i] }
        /User time/ { u = $2 } /System time/ { s = $2 } /Maximum resident/ { m = $2 }
        END { printf "%.2f %.2f %d\n", e, u + s, m }' "$log"
}

# The in-memory transform of the 512 MiB once; prints "cpu_seconds real_seconds".
in_memory() {
    local name=$1 line
    line=$("$bench" --size_mib=512 --benchmark_filter="BM_$name\$" --benchmark_repetitions=1 2>/dev/null |
        grep '^summary:')
    local key=${name,,}
    key=${key%rypt}
    awk -v cpu="$(field "$key" <<<"$line")" -v real="$(field "${key}_real" <<<"$line")" \
        'BEGIN { mb = 512 * 1048576 / 1e6; printf "%.3f %.3f\n", mb / cpu, mb / real }'
}

# Runs a verb REPEAT times, each run right after an in-memory transform of the same size, so
# that the machine's drift falls on both sides of each ratio. Prints the medians
# "elapsed cpu maxrss_kib memory_cpu memory_real cpu_ratio elapsed_ratio", the ratios being
# medians of the paired ones.
median_runs() {
    local verb=$1 name=$2 src=$3 dst=$4 runs=$work/runs.txt
    : >"$runs"
    for ((k = 0; k < repeat; ++k)); do
        local mem run
        mem=$(in_memory "$name")
        # Each run writes a new file, as a user's encryption does: replacing the previous
        # run's target would add the file system's freeing of its blocks to the time.
        rm -f "$dst"
        sync
        run=$(timed_run "$verb" "$src" "$dst")
        echo "$run $mem $(yardstick_run "$src")" >>"$runs"
    done
    awk '{ print $0, $2 / $4, $1 / $5, ($6 > 0 ? $1 / $6 : 0) }' "$runs" >"$runs.r"
    local c out=""
    for c in 1 2 4 5 7 8 6 9; do out+="$(cut -d' ' -f$c "$runs.r" | median) "; done
    echo "$out$(cut -d' ' -f3 "$runs.r" | sort -n | tail -1)"
}

# The yardstick over src once, its target a new file; prints the elapsed seconds, or 0 when
# BUILD_DIR has no yardstick.
yardstick_run() {
    if [[ -z $yardstick ]]; then
        echo 0
        return
    fi
    rm -f "$work/yard.out"
    sync
    /usr/bin/time -f %e -o "$work/ytime" "$yardstick" "$1" "$work/yard.out"
    rm -f "$work/yard.out"
    cat "$work/ytime"
}

field() { sed -n "s/.*[[:space:]]$1=\([0-9.]*\).*/\1/p" | head -1; }

echo "machine: $(lscpu | sed -n 's/^Model name:[[:space:]]*//p'), $(nproc) cores," \
    "$(free -g | awk '/^Mem:/ {print $2}') GiB; load: $(cut -d' ' -f1-3 /proc/loadavg)"

echo "in-memory transform, 64 MiB, $repeat repetitions ..." >&2
# Repetitions interleaved at random, so that a change in the machine's speed during the run
# falls on the transform and on RC4 alike instead of skewing their ratio.
small=$("$bench" --benchmark_repetitions=$((repeat * 2 + 1)) --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true |
    grep '^summary:')

echo "making the 512 MiB and 1 GiB files ..." >&2
head -c 512M /dev/urandom >"$work/half.bin"
head -c 1G /dev/urandom >"$work/one.bin"

echo "whole files, $repeat runs each, each beside an in-memory run ..." >&2
read -r encE encC lEnc lEncR encRC encRE yardE encRY _ < <(median_runs ENC Encrypt "$work/half.bin" "$work/half.ash")
read -r decE decC lDec lDecR decRC decRE _ decRY _ < <(median_runs DEC Decrypt "$work/half.ash" "$work/half.out")
cmp -s "$work/half.bin" "$work/half.out" || { echo "DEC did not give the 512 MiB file back" >&2; exit 1; }
rm -f "$work/half.out"
read -r _ _ rssEnc < <(timed_run ENC "$work/one.bin" "$work/one.ash")
rm -f "$work/one.bin"
read -r _ _ rssDec < <(timed_run DEC "$work/one.ash" "$work/one.out")

enc=$(field enc <<<"$small") dec=$(field dec <<<"$small")
rc4=$(field rc4 <<<"$small") mem=$(field memcpy <<<"$small")

awk -v enc="$enc" -v dec="$dec" -v rc4="$rc4" -v mem="$mem" \
    -v lEnc="$lEnc" -v lDec="$lDec" -v lEncR="$lEncR" -v lDecR="$lDecR" \
    -v encE="$encE" -v encC="$encC" -v decE="$decE" -v decC="$decC" \
    -v encRC="$encRC" -v encRE="$encRE" -v decRC="$decRC" -v decRE="$decRE" \
    -v rssEnc="$rssEnc" -v rssDec="$rssDec" -v repeat="$repeat" \
    -v yardE="$yardE" -v encRY="$encRY" -v decRY="$decRY" 'BEGIN {
    mb = 512 * 1048576 / 1e6
    printf "\n%-44s %12s %10s\n", "measure (medians of " repeat ")", "value", "aim"
    printf "%-44s %12s %10s\n", "--------------------------------------------", "------------", "----------"
    printf "%-44s %8.1f MB/s %10s\n", "encrypt, in memory, 64 MiB", enc, ""
    printf "%-44s %8.1f MB/s %10s\n", "decrypt, in memory, 64 MiB", dec, ""
    printf "%-44s %8.1f MB/s %10s\n", "textbook RC4, 64 MiB", rc4, ""
    printf "%-44s %8.1f MB/s %10s\n", "memcpy, 64 MiB", mem, ""
    printf "%-44s %12.2f %10s\n", "encrypt / RC4", enc / rc4, ">= 0.80"
    printf "%-44s %12.2f %10s\n", "decrypt / RC4", dec / rc4, ">= 0.37"
    printf "%-44s %10.2f s %10s\n", "encrypt, in memory, 512 MiB (CPU)", lEnc, ""
    printf "%-44s %10.2f s %10s\n", "encrypt, in memory, 512 MiB (real)", lEncR, ""
    printf "%-44s %10.2f s %10s\n", "calyxor ENC, 512 MiB file (user+sys)", encC, ""
    printf "%-44s %10.2f s %10s\n", "calyxor ENC, 512 MiB file (elapsed)", encE, ""
    printf "%-44s %12.2f %10s\n", "ENC file CPU / in-memory CPU", encRC, ""
    printf "%-44s %12.2f %10s\n", "ENC file elapsed / in-memory real", encRE, "<= 1.10"
    if (yardE > 0) {
        printf "%-44s %10.2f s %10s\n", "yardstick, 512 MiB file (elapsed)", yardE, ""
        printf "%-44s %12.2f %10s\n", "ENC file elapsed / yardstick", encRY, ""
        printf "%-44s %12.2f %10s\n", "DEC file elapsed / yardstick", decRY, ""
    }
    printf "%-44s %10.2f s %10s\n", "decrypt, in memory, 512 MiB (CPU)", lDec, ""
    printf "%-44s %10.2f s %10s\n", "decrypt, in memory, 512 MiB (real)", lDecR, ""
    printf "%-44s %10.2f s %10s\n", "calyxor DEC, 512 MiB file (user+sys)", decC, ""
    printf "%-44s %10.2f s %10s\n", "calyxor DEC, 512 MiB file (elapsed)", decE, ""
    printf "%-44s %12.2f %10s\n", "DEC file CPU / in-memory CPU", decRC, ""
    printf "%-44s %12.2f %10s\n", "DEC file elapsed / in-memory real", decRE, "<= 1.05"
    printf "%-44s %8.1f MiB %10s\n", "peak RSS, calyxor ENC of 1 GiB", rssEnc / 1024, "< 96 MiB"
    printf "%-44s %8.1f MiB %10s\n", "peak RSS, calyxor DEC of 1 GiB", rssDec / 1024, "< 96 MiB"
}'
rm -f "$work"/one.*

# ---- many files at once ----------------------------------------------------------------------
cli=$build/calyxor-cli
if [[ ! -x $cli ]]; then
    echo
    echo "calyxor-cli is not in $build: the -j table is left out"
    exit 0
fi
jobs_mib=${JOBS_MIB:-256}
echo "making 4 files of $jobs_mib MiB for -j ..." >&2
printf 'bench key' >"$work/key"
for k in 1 2 3 4; do head -c "${jobs_mib}M" /dev/urandom >"$work/many$k.bin"; done

# One timed run of calyxor-cli encrypt -j N over the first N files; prints "elapsed cpu
# maxrss_kib".
jobs_once() {
    local n=$1 files=() k
    for ((k = 1; k <= n; ++k)); do files+=("$work/many$k.bin"); done
    rm -f "$work"/many*.bin.ash
    sync
    /usr/bin/time -f '%e %U %S %M' -o "$work/jtime" "$cli" encrypt -f --key-file "$work/key" \
        -j "$n" "${files[@]}" >/dev/null
    awk '{ printf "%.2f %.2f %d\n", $1, $2 + $3, $4 }' "$work/jtime"
}
# The yardstick over the first N files at once, as N processes; prints "elapsed cpu", or "0 0"
# without a yardstick.
yard_once() {
    local n=$1 files=() k
    if [[ -z $yardstick ]]; then
        echo "0 0"
        return
    fi
    for ((k = 1; k <= n; ++k)); do files+=("$work/many$k.bin"); done
    rm -f "$work"/many*.bin.y
    sync
    /usr/bin/time -f '%e %U %S' -o "$work/ytime" \
        sh -c 'y=$1; shift; for f; do "$y" "$f" "$f.y" & done; wait' sh "$yardstick" "${files[@]}"
    rm -f "$work"/many*.bin.y
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/ytime"
}
# Each repetition runs -j 1, -j 2 and -j 4 one after the other, and the yardstick one, two and
# four at once, so that every ratio is taken between runs seconds apart, as the whole-file
# ratios are; the table shows the medians of the times and of the paired ratios.
jruns=$work/jruns.txt
: >"$jruns"
for ((r = 0; r < repeat; ++r)); do
    echo "$(jobs_once 1) $(jobs_once 2) $(jobs_once 4) $(yard_once 1) $(yard_once 2) $(yard_once 4)" >>"$jruns"
done
# Fields: 1-3 -j 1 (elapsed cpu rss), 4-6 -j 2, 7-9 -j 4, 10-11 yardstick 1, 12-13 two, 14-15 four.
col() { awk "{ print $1 }" "$jruns" | median; }
awk -v j1="$(col '$1')" -v j2="$(col '$4')" -v j4="$(col '$7')" \
    -v r2="$(col '$4 / $1')" -v r4="$(col '$7 / $1')" \
    -v c1="$(col '$2')" -v c2="$(col '$5 / 2')" -v c4="$(col '$8 / 4')" \
    -v m1="$(col '$3')" -v m4="$(col '$9')" \
    -v y1="$(col '$10')" -v y2="$(col '$12')" -v y4="$(col '$14')" \
    -v yr2="$(col '($10 > 0 ? $12 / $10 : 0)')" -v yr4="$(col '($10 > 0 ? $14 / $10 : 0)')" \
    -v g2="$(col '($12 > 0 ? ($4 / $1) / ($12 / $10) : 0)')" \
    -v g4="$(col '($14 > 0 ? ($7 / $1) / ($14 / $10) : 0)')" \
    -v mib="$jobs_mib" -v cores="$(nproc)" 'BEGIN {
    printf "\n%-30s %9s %6s %9s %10s %6s %6s\n", "calyxor-cli encrypt, " mib " MiB", "elapsed", "vs 1", "CPU/file", "yardstick", "vs 1", "gap"
    printf "%-30s %9s %6s %9s %10s %6s %6s\n", "files, " cores " cores", "", "", "", "at once", "", ""
    printf "%-30s %9s %6s %9s %10s %6s %6s\n", "------------------------------", "---------", "------", "---------", "----------", "------", "------"
    printf "%-30s %7.2f s %6.2f %7.2f s %8.2f s %6.2f %6s\n", "-j 1, 1 file", j1, 1, c1, y1, 1, ""
    printf "%-30s %7.2f s %6.2f %7.2f s %8.2f s %6.2f %6.2f\n", "-j 2, 2 files", j2, r2, c2, y2, yr2, g2
    printf "%-30s %7.2f s %6.2f %7.2f s %8.2f s %6.2f %6.2f\n", "-j 4, 4 files", j4, r4, c4, y4, yr4, g4
    printf "gap: -j N ratio / the yardstick%s ratio, aim <= 1.10 for -j 2 on 2 cores\n", "\047s"
    printf "peak RSS: -j 1 %.1f MiB, -j 4 %.1f MiB (%.2f x; aim < 4 x)\n", m1 / 1024, m4 / 1024, m4 / m1
}'

# ---- a folder of small files -----------------------------------------------------------------
# Each file is made whole and flushed to the device on its own, so a folder of small files is
# bound by the fixed cost per file rather than by the transform.
small_count=${SMALL_FILES:-400}
mkdir "$work/small"
for ((k = 1; k <= small_count; ++k)); do head -c 1024 /dev/urandom >"$work/small/f$k"; done
small_run() {
    local n=$1 runs=$work/sruns.txt
    : >"$runs"
    for ((k = 0; k < repeat; ++k)); do
        rm -f "$work"/small/*.ash
        sync
        /usr/bin/time -f %e -o "$work/stime" "$cli" encrypt -q -f --key-file "$work/key" -j "$n" \
            "$work"/small/f* >/dev/null
        cat "$work/stime" >>"$runs"
    done
    median <"$runs"
}
s1=$(small_run 1) s2=$(small_run 2)
awk -v s1="$s1" -v s2="$s2" -v n="$small_count" 'BEGIN {
    printf "\n%-44s %12s %10s\n", "calyxor-cli encrypt, " n " files of 1 KiB", "elapsed", "per file"
    printf "%-44s %12s %10s\n", "--------------------------------------------", "------------", "----------"
    printf "%-44s %10.2f s %7.1f ms\n", "-j 1", s1, s1 * 1000 / n
    printf "%-44s %10.2f s %7.1f ms\n", "-j 2", s2, s2 * 1000 / n
}'
