#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what is missing, builds, and runs every test five ways, each build one of
# CMakePresets.json's configurations (cmake --preset NAME) in its own folder:
#   1. the normal build ($CALYXOR_BUILD_DIR, default build/) and its whole CTest run;
#   2. the same sources with address and undefined-behaviour sanitizers (build-asan/), whole
#      CTest run again;
#   3. the engine's tests once more, against the transform's portable code ($CALYXOR_PORTABLE_DIR,
#      default build-portable/), so that the path other compilers take cannot rot unseen;
#   4. the libFuzzer targets built with clang (build-fuzz/), each run from its seeds: the text
#      parsers for $CALYXOR_FUZZ_SECONDS (default 60), the picture loaders for
#      $CALYXOR_PICTURE_FUZZ_SECONDS (default 30);
#   5. the thread sanitizer (build-tsan/) over the tests whose files are written by the writer
#      thread: the engine's file tests and the faults provoked against the built program.
# After the normal build (which installs it), clang-format checks that every tracked C++ file
# is formatted: one pass or one failure.
# The normal and portable builds treat warnings as errors.
# The last line is "N passed, N failed, N skipped" over all of it, which is what CI reads;
# the failed tests are named above it, and so are those that failed once and passed when run
# again (each CTest run gives a failed test one more run);
# the skipped tests are named above it. A skipped test is never counted as passed. Run as root
# (as CI is), the tests that need root, ptrace, user namespaces or a seccomp filter must run:
# CALYXOR_PRIVILEGED_REQUIRED makes each of them fail instead of skipping
# (tests/support/Privileged.h).
set -uo pipefail
cd "$(dirname "$0")/.."

build="${CALYXOR_BUILD_DIR:-build}"
asan="${CALYXOR_ASAN_DIR:-build-asan}"
fuzz="${CALYXOR_FUZZ_DIR:-build-fuzz}"
portable="${CALYXOR_PORTABLE_DIR:-build-portable}"
fuzz_seconds="${CALYXOR_FUZZ_SECONDS:-60}"
tsan="${CALYXOR_TSAN_DIR:-build-tsan}"
jobs="$(nproc)"
if [ "$(id -u)" -eq 0 ]; then
  export CALYXOR_PRIVILEGED_REQUIRED=1
fi
passed=0
failed=0
skipped=0

# Adds a CTest run's counts from its summary line "NN% tests passed, F tests failed out of T".
count_ctest() {
  local log="$1" status="$2" line total bad
  line="$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)"
  if [ -z "$line" ]; then
    echo "no CTest summary in $log (status $status): counted as one failure"
    failed=$((failed + 1))
    return
  fi
  bad="$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")"
  total="$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")"
  # A skipped test (exit 77, or GoogleTest's GTEST_SKIP) is neither passed nor failed: CTest
  # lists it under "The following tests did not run", and it is counted and named apart.
  skips="$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)' "$log" || true)"
  if [ "$skips" -gt 0 ]; then
    echo "skipped in $log:"
    grep -E '^[[:space:]]*[0-9]+ - .*\(Skipped\)' "$log" | sed 's/^/  /'
  fi
  # The names of the failed tests, gathered for the end: CI shows only the last lines.
  sed -n '/The following tests FAILED:/,/^$/p' "$log" | grep -E '^[[:space:]]*[0-9]+ - ' |
    sed "s|^[[:space:]]*|  $(basename "$log" .log): |" >>"$log_dir/failed.txt" || true
  # A test that failed and then passed when run again (--repeat until-pass:2) counts as passed,
  # and is named at the end as unsteady: a fault that shows only sometimes is still a fault.
  local name
  for name in $(sed -nE 's/.*Test +#[0-9]+: ([^ ]+) \.+\*\*\*.*/\1/p' "$log" | sort -u); do
    if ! grep -qE "^[[:space:]]*[0-9]+ - $(sed 's/[][\.*^$/]/\\&/g' <<<"$name") " "$log"; then
      echo "  $(basename "$log" .log): $name" >>"$log_dir/unsteady.txt"
    fi
  done
  passed=$((passed + total - bad - skips))
  failed=$((failed + bad))
  skipped=$((skipped + skips))
}

log_dir="$(mktemp -d)"
trap 'rm -rf "$log_dir"' EXIT

echo "== normal build and tests ($build)"
if CALYXOR_WERROR=ON ./scripts/build.sh; then
  ctest --test-dir "$build" --output-on-failure --repeat until-pass:2 -j "$jobs" "$@" 2>&1 | tee "$log_dir/ctest.log"
  count_ctest "$log_dir/ctest.log" "${PIPESTATUS[0]}"
else
  echo "the normal build failed"
  failed=$((failed + 1))
fi

echo "== formatting (clang-format)"
if git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror; then
  echo "every tracked C++ file is formatted"
  passed=$((passed + 1))
else
  echo "the files above differ from .clang-format: run clang-format -i on them"
  failed=$((failed + 1))
fi

echo "== sanitizer build and tests ($asan)"
if [ ! -f "$asan/build.ninja" ]; then
  cmake --preset asan -B "$asan" >/dev/null
fi
if cmake --build "$asan" -j "$jobs"; then
  # The multi-gigabyte round trips prove 64-bit sizes, not memory safety; the normal run has
  # them, and under the sanitizers they would take most of CI's time.
  ctest --test-dir "$asan" --output-on-failure --repeat until-pass:2 -j "$jobs" -LE long "$@" 2>&1 | tee "$log_dir/asan.log"
  count_ctest "$log_dir/asan.log" "${PIPESTATUS[0]}"
else
  echo "the sanitizer build failed"
  failed=$((failed + 1))
fi

echo "== engine tests on the portable transform ($portable)"
if [ ! -f "$portable/build.ninja" ]; then
  cmake --preset portable -B "$portable" -DCALYXOR_WERROR=ON >/dev/null
fi
if cmake --build "$portable" --target cipher_core_tests cipher_tests -j "$jobs"; then
  for program in cipher_core_tests cipher_tests; do
    "$portable/$program" 2>&1 | tee "$log_dir/portable-$program.log"
    # GoogleTest's summary: "[  PASSED  ] N tests." and, if any failed, "[  FAILED  ] N tests".
    # "[  SKIPPED ] N tests, listed below" counts the skipped ones apart: PASSED leaves them out.
    ok="$(sed -nE 's/^\[  PASSED  \] ([0-9]+) tests?\..*/\1/p' "$log_dir/portable-$program.log")"
    bad="$(sed -nE 's/^\[  FAILED  \] ([0-9]+) tests?, listed below.*/\1/p' "$log_dir/portable-$program.log")"
    skips="$(sed -nE 's/^\[  SKIPPED \] ([0-9]+) tests?, listed below.*/\1/p' "$log_dir/portable-$program.log")"
    if [ -z "$ok" ]; then
      echo "no GoogleTest summary from $portable/$program: counted as one failure"
      failed=$((failed + 1))
    else
      if [ "${skips:-0}" -gt 0 ]; then
        echo "skipped in $portable/$program:"
        grep -E '^\[  SKIPPED \] [A-Za-z]' "$log_dir/portable-$program.log" | sed 's/^/  /'
      fi
      passed=$((passed + ok))
      failed=$((failed + ${bad:-0}))
      skipped=$((skipped + ${skips:-0}))
    fi
  done
else
  echo "the portable build failed"
  failed=$((failed + 1))
fi

echo "== fuzzers ($fuzz, ${fuzz_seconds}s each)"
if ! command -v clang++ >/dev/null; then
  echo "clang++ is missing: the fuzzers cannot be built"
  failed=$((failed + 1))
else
  if [ ! -f "$fuzz/build.ninja" ]; then
    cmake --preset fuzz -B "$fuzz" >/dev/null
  fi
  if cmake --build "$fuzz" --target fuzzers -j "$jobs"; then
    executions=0
    # fuzz_each OPTION... -- TARGET...: runs each fuzz_TARGET from its corpus and seeds with the
    # libFuzzer options given, and counts it as passed or, with the input it found, failed.
    fuzz_each() {
      local options=() target runs
      while [ "$1" != "--" ]; do
        options+=("$1")
        shift
      done
      shift
      for target in "$@"; do
        mkdir -p "$fuzz/fuzz-corpus/$target"
        if (cd "$fuzz" && "./fuzz_$target" "${options[@]}" -print_final_stats=1 \
              -artifact_prefix="fuzz-crash-$target-" "fuzz-corpus/$target" "fuzz-seeds/$target") \
              >"$log_dir/fuzz-$target.log" 2>&1; then
          runs="$(grep -E '^stat::number_of_executed_units' "$log_dir/fuzz-$target.log" | awk '{print $2}')"
          executions=$((executions + ${runs:-0}))
          echo "fuzz_$target: ${runs:-0} executions, no finding"
          passed=$((passed + 1))
        else
          tail -n 30 "$log_dir/fuzz-$target.log"
          echo "fuzz_$target: FOUND A FAULT (input kept as $fuzz/fuzz-crash-$target-*);" \
            "copy it to fuzz/regressions/$target/ once understood"
          failed=$((failed + 1))
        fi
      done
    }
    # Inputs are kept short so that each run covers many of them; the 1 MB line is replayed
    # whole by the parser regression test.
    fuzz_each -max_total_time="$fuzz_seconds" -max_len=4096 -- settings skin decrypt_name
    # The picture loaders, each for $CALYXOR_PICTURE_FUZZ_SECONDS (default 30): a slower
    # target each, so they get less time than the parsers. An input that takes more than 10
    # seconds is a finding too, and so is one allocation of more than 512 MB.
    LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp" \
      fuzz_each -max_total_time="${CALYXOR_PICTURE_FUZZ_SECONDS:-30}" -max_len=262144 \
      -timeout=10 -malloc_limit_mb=512 -- jpeg bmp ico wmf emf
    echo "fuzzers: $executions executions in all"
  else
    echo "the fuzzer build failed"
    failed=$((failed + 1))
  fi
fi

echo "== thread sanitizer build and tests ($tsan)"
if [ ! -f "$tsan/build.ninja" ]; then
  cmake --preset tsan -B "$tsan" >/dev/null
fi
if cmake --build "$tsan" -j "$jobs" --target cipher_tests reliability_tests; then
  # A report fails the run it appears in (the programs the fault tests start exit 66 then).
  # Kernels set to randomise addresses more widely (vm.mmap_rnd_bits 32) can place mappings
  # where this sanitizer expects its shadow memory, and it then stops at start; the runs go
  # without address randomisation (setarch -R) so that they do not depend on that setting.
  # The shrinking-source test is left to the other runs: this sanitizer's signal wrapper leaves
  # SIGBUS blocked after the guard jumps out of its handler, so the test's second fault would
  # end the process there and nowhere else.
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" setarch "$(uname -m)" -R \
    ctest --test-dir "$tsan" --output-on-failure --repeat until-pass:2 -j "$jobs" -LE long \
    -R '^(BlockWriterTest|BlockFileTest|FileTransformTest|FaultTest)\.' \
    -E 'FaultTest\.shrinkingSource' "$@" 2>&1 |
    tee "$log_dir/tsan.log"
  count_ctest "$log_dir/tsan.log" "${PIPESTATUS[0]}"
else
  echo "the thread sanitizer build failed"
  failed=$((failed + 1))
fi

if [ -s "$log_dir/unsteady.txt" ]; then
  echo "failed once, then passed when run again:"
  cat "$log_dir/unsteady.txt"
fi
if [ -s "$log_dir/failed.txt" ]; then
  echo "failed tests:"
  cat "$log_dir/failed.txt"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
