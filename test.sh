#!/usr/bin/env bash
# Installs what is missing, builds, and runs the test suites.
#
#   ./test.sh [ctest args]                  plain build in build/, every suite
#   ./test.sh --sanitize address|thread     sanitizer build in build-asan/ or
#                                           build-tsan/, every suite that needs
#                                           no display
#   ./test.sh --fuzz SECONDS                clang + libFuzzer build in
#                                           build-fuzz/, each fuzz target that
#                                           long over its seed corpus
#
# BUILD_DIR overrides the build folder, JOBS the parallelism. Exit status is
# ctest's (or, with --fuzz, non-zero when any target crashed or hung).
set -euo pipefail
cd "$(dirname "$0")"

./scripts/install-deps.sh

MODE=plain
SANITIZER=none
FUZZ_SECONDS=0
while [ $# -gt 0 ]; do
  case "$1" in
    --sanitize)
      [ $# -ge 2 ] || { echo "--sanitize needs address or thread" >&2; exit 2; }
      MODE=sanitize; SANITIZER=$2; shift 2 ;;
    --fuzz)
      [ $# -ge 2 ] || { echo "--fuzz needs a number of seconds" >&2; exit 2; }
      MODE=fuzz; FUZZ_SECONDS=$2; shift 2 ;;
    *) break ;;
  esac
done

JOBS=${JOBS:-$(nproc)}

# Sanitizer reports end the process at the first fault so that no report can
# scroll past unnoticed inside a passing test.
export ASAN_OPTIONS=${ASAN_OPTIONS:-halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:history_size=4}

run_fuzz() {
  local build=${BUILD_DIR:-build-fuzz}
  CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPLENVAR_FUZZ=ON -DPLENVAR_SANITIZE=address -DPLENVAR_GUI=OFF \
    -DPLENVAR_TESTS=OFF -DPLENVAR_BENCH=OFF
  cmake --build "$build" -j "$JOBS" --target plenvar_fuzz_targets
  local failed=0 target corpus work
  for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    local name
    name=$(basename "$target")
    corpus=fuzz/corpus/${name#fuzz_}
    # New inputs go to a scratch folder so the seed corpus in the repository
    # stays as committed.
    work="$build/fuzz/work/$name"
    mkdir -p "$work" "$build/fuzz/artifacts"
    echo "=== $name: ${FUZZ_SECONDS}s"
    # A private network namespace keeps the fixed port of the router target
    # free and makes connects to any address but loopback fail at once.
    # AddressSanitizer keeps a record of every thread started (the stream
    # target starts one per input), about 190 bytes each; long runs need the
    # higher memory limit.
    if ! tests/netns-run.sh "$target" -max_total_time="$FUZZ_SECONDS" -timeout=10 -rss_limit_mb=4096 \
         -print_final_stats=1 -artifact_prefix="$build/fuzz/artifacts/$name-" \
         "$work" "$corpus"; then
      echo "*** $name failed; see $build/fuzz/artifacts/" >&2
      failed=1
    fi
  done
  return $failed
}

case "$MODE" in
  plain)
    BUILD_DIR=${BUILD_DIR:-build}
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD_DIR" -j "$JOBS"
    cd "$BUILD_DIR"
    ctest --output-on-failure -j "$JOBS" "$@"
    ;;
  sanitize)
    case "$SANITIZER" in
      address) BUILD_DIR=${BUILD_DIR:-build-asan} ;;
      thread) BUILD_DIR=${BUILD_DIR:-build-tsan} ;;
      *) echo "--sanitize takes address or thread" >&2; exit 2 ;;
    esac
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPLENVAR_SANITIZE="$SANITIZER" -DPLENVAR_GUI=OFF -DPLENVAR_BENCH=OFF
    cmake --build "$BUILD_DIR" -j "$JOBS"
    cd "$BUILD_DIR"
    ctest --output-on-failure -j "$JOBS" "$@"
    ;;
  fuzz)
    run_fuzz
    ;;
esac
