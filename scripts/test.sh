#!/usr/bin/env bash
# Sets everything up, builds, and runs every test with CTest.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
BUILD_DIR=${BUILD_DIR:-build}
# A compiler cache, when the machine has one, makes repeated builds short; CI builds without it.
LAUNCHER=()
if command -v ccache > /dev/null; then
  LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTIVRA_GUI=ON -DTIVRA_TESTS=ON "${LAUNCHER[@]}"
cmake --build "$BUILD_DIR" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$BUILD_DIR" --output-on-failure -j"$(nproc)" --timeout 600
