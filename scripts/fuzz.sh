#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang (AddressSanitizer, UndefinedBehaviorSanitizer
# and LeakSanitizer on) and runs them. See docs/fuzzing.md.
#
#   bash scripts/fuzz.sh --ci                 every target for FUZZ_SECONDS (default 30) from its
#                                             seeds; fails on any crash, leak or timeout (CI)
#   bash scripts/fuzz.sh [-t SECONDS] [TARGET...]
#                                             by hand: the named targets (default: all) for
#                                             SECONDS each (default 600), keeping the corpus that
#                                             grows in build-fuzz/corpus/<target>
#
# Findings are written to build-fuzz/artifacts/<target>-crash-..., -leak-..., -timeout-...;
# replay one with: build-fuzz/tests/fuzz/fuzz_<target> <file>
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${FUZZ_BUILD_DIR:-build-fuzz}

ci=0
seconds=${FUZZ_SECONDS:-600}
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --ci) ci=1; seconds=${FUZZ_SECONDS:-30} ;;
    -t) seconds=$2; shift ;;
    -h|--help) sed -n 2,15p "$0"; exit 0 ;;
    *) targets+=("$1") ;;
  esac
  shift
done

bash scripts/setup.sh

# Only the libraries the targets need are built: the fuzz build leaves the GUI and the tests out.
# A Debug build keeps Qt's own checks on (an index outside a QByteArray, QString or QList aborts
# instead of reading the terminator or spare capacity); -O1 keeps it fast.
LAUNCHER=()
if command -v ccache > /dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
CC=clang-14 CXX=clang++-14 cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS=-O1 "${LAUNCHER[@]}" \
  -DTIVRA_GUI=OFF -DTIVRA_TESTS=OFF -DTIVRA_FUZZ=ON >/dev/null
cmake --build "$BUILD_DIR" -j"$(nproc)" --target fuzz_all

if [ ${#targets[@]} -eq 0 ]; then
  for dir in tests/fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
ARTIFACTS="$ROOT/$BUILD_DIR/artifacts"
mkdir -p "$ARTIFACTS"

failed=()
for target in "${targets[@]}"; do
  exe="$BUILD_DIR/tests/fuzz/fuzz_$target"
  if [ ! -x "$exe" ]; then
    echo "fuzz: no program for target '$target' ($exe)" >&2
    failed+=("$target")
    continue
  fi
  if [ $ci -eq 1 ]; then
    corpus=$(mktemp -d)  # fresh every CI run: the result does not depend on earlier runs
  else
    corpus="$BUILD_DIR/corpus/$target"
    mkdir -p "$corpus"
  fi
  log="$BUILD_DIR/fuzz-$target.log"
  echo "fuzz: $target for ${seconds} s"
  set +e
  "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048 \
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$target-" \
    "$corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  set -e
  [ $ci -eq 1 ] && rm -rf "$corpus"
  if [ $rc -ne 0 ]; then
    echo "fuzz: $target FAILED (exit $rc); the end of its log ($log):" >&2
    tail -n 60 "$log" >&2
    ls "$ARTIFACTS" | grep "^$target-" | sed "s|^|fuzz: input kept in $ARTIFACTS/|" >&2 || true
    failed+=("$target")
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb|cov: " "$log" | tail -n 3 | sed "s/^/  /"
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: failed: ${failed[*]} (replay: $BUILD_DIR/tests/fuzz/fuzz_<target> <input file>; docs/fuzzing.md)" >&2
  exit 1
fi
echo "fuzz: ${#targets[@]} targets ran ${seconds} s each without a finding"
