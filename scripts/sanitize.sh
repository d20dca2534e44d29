#!/usr/bin/env bash
# Builds everything (GUI included) with AddressSanitizer and UndefinedBehaviorSanitizer in a build
# folder of its own and runs the whole CTest suite there. Any sanitizer report fails a test and so
# this script: UBSan does not recover (-fno-sanitize-recover=all), ASan stops at the first error,
# LeakSanitizer checks every process at exit.
#
#   bash scripts/sanitize.sh            (build folder: build-asan, or $SANITIZE_BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD_DIR=${SANITIZE_BUILD_DIR:-build-asan}
SAN="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

bash scripts/setup.sh

# -O1 keeps the instrumented tests fast enough and the build short; Debug keeps Qt's assertions on.
# Warnings are not errors here (CI is unset for CMake, which would force TIVRA_WERROR on): GCC
# warns falsely on instrumented code (-Wmaybe-uninitialized on a Qt slot lambda of
# src/gui/tfrinstaller.cpp), and the plain build already checks every warning with -Werror.
LAUNCHER=()
if command -v ccache > /dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
env -u CI cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTIVRA_GUI=ON -DTIVRA_TESTS=ON "${LAUNCHER[@]}" \
  -DTIVRA_WERROR=OFF -DCMAKE_CXX_FLAGS="-O1 $SAN -Wno-maybe-uninitialized" \
  -DCMAKE_EXE_LINKER_FLAGS="$SAN" -DCMAKE_SHARED_LINKER_FLAGS="$SAN"
env -u CI cmake --build "$BUILD_DIR" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1"
export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# Instrumented code runs a few times slower: a longer limit per test than the plain run.
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 1500
