#!/usr/bin/env bash
# Installs what is needed, then runs what CI runs, headless, in this order:
#   gcc   the GCC build with warnings as errors (build/), then the whole test suite;
#   asan  a clang build with AddressSanitizer and UndefinedBehaviorSanitizer and warnings as errors
#         (build-clang/, fuzz targets included, no benchmarks), then the whole test suite in it;
#   fuzz  every fuzz target of that clang build for a few seconds from an empty corpus.
# KESTRO_CI_STAGES picks stages (e.g. KESTRO_CI_STAGES=gcc or "asan fuzz"); all three by default.
# BUILD_DIR, CLANG_BUILD_DIR and KESTRO_FUZZ_SECONDS (5) change the folders and the fuzz time.
set -euo pipefail
cd "$(dirname "$0")/.."

STAGES=${KESTRO_CI_STAGES:-gcc asan fuzz}
STAGES=${STAGES//,/ }
for stage in $STAGES; do
  case $stage in
    gcc | asan | fuzz) ;;
    *) echo "test.sh: unknown stage '$stage' in KESTRO_CI_STAGES (gcc, asan, fuzz)" >&2; exit 2 ;;
  esac
done
wants() { [[ " $STAGES " == *" $1 "* ]]; }

bash scripts/setup.sh

BUILD_DIR=${BUILD_DIR:-build}
CLANG_BUILD_DIR=${CLANG_BUILD_DIR:-build-clang}
FUZZ_SECONDS=${KESTRO_FUZZ_SECONDS:-5}
JOBS=$(nproc)
export SDL_VIDEODRIVER=offscreen ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy
export UBSAN_OPTIONS=print_stacktrace=1
TIMES=()

start_stage() {
  echo "=== $1"
  STAGE_START=$SECONDS
}
end_stage() {
  TIMES+=("$1 $((SECONDS - STAGE_START)) s")
  echo "=== $1 done in $((SECONDS - STAGE_START)) s"
}

if wants gcc; then
  start_stage gcc
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRO_WERROR=ON
  cmake --build "$BUILD_DIR" -j "$JOBS"
  ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 600
  end_stage gcc
fi

if wants asan || wants fuzz; then
  # One clang build serves both stages: the sanitizers and the fuzzers' coverage are compiled into
  # the same objects, and the tests link and run there as well.
  start_stage clang-build
  cmake -S . -B "$CLANG_BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DKESTRO_SANITIZE=ON -DKESTRO_FUZZ=ON -DKESTRO_BENCH=OFF -DKESTRO_TESTS=ON -DKESTRO_WERROR=ON
  cmake --build "$CLANG_BUILD_DIR" -j "$JOBS"
  end_stage clang-build
fi

if wants asan; then
  start_stage asan
  # Slower than the plain build (the window tests take a few seconds each), well inside the timeout.
  ctest --test-dir "$CLANG_BUILD_DIR" --output-on-failure -j "$JOBS" --timeout 900
  end_stage asan
fi

if wants fuzz; then
  start_stage fuzz
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  passed=0
  failed=0
  for target in "$CLANG_BUILD_DIR"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    mkdir -p "$work/$name/corpus" "$CLANG_BUILD_DIR/fuzz-artifacts"
    # Targets that can write a starting input of their own do so into the corpus.
    if KESTRO_FUZZ_SEED="$work/$name/corpus" \
        LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
        "$target" -max_total_time="$FUZZ_SECONDS" -timeout=60 -close_fd_mask=2 -print_final_stats=1 \
        -artifact_prefix="$CLANG_BUILD_DIR/fuzz-artifacts/$name-" "$work/$name/corpus" \
        > "$work/$name.log" 2>&1; then
      echo "fuzz: $name ok ($(grep -o 'Done [0-9]* runs' "$work/$name.log" || echo 'no count'))"
      passed=$((passed + 1))
    else
      echo "fuzz: $name FAILED; the input is in $CLANG_BUILD_DIR/fuzz-artifacts/. Its output:"
      tail -n 80 "$work/$name.log"
      failed=$((failed + 1))
    fi
  done
  echo "fuzz: $passed passed, $failed failed"
  end_stage fuzz
  if [ "$passed" -eq 0 ] || [ "$failed" -ne 0 ]; then
    exit 1
  fi
fi

echo "Stage times:"
printf '  %s\n' "${TIMES[@]}"
